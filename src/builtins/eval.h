// Expression evaluator behind the built-in `eval`: 32-bit integer expressions with
// wrap-around. Operands are numbers (decimal, "0x" hexadecimal, "0" octal), parenthesised
// expressions and "!" complements. Tight operators (& * / \ ^) group from the left; loose
// ones (+ - > < = | ~) take everything after them as their right operand. Any other byte
// ends the expression. Operators are found through a 256-entry table filled by eval_init.
#pragma once

typedef int (*eval_op)(int left, int right);
enum eval_kind { EVAL_END, EVAL_LOOSE, EVAL_TIGHT };

extern eval_op eval_op_func[256];
extern unsigned char eval_op_kind[256];

void eval_init();
int evaluate(char const* text);
void eval_expr(char const** cursor, int* value);
void eval_simple(char const** cursor, int* value);
void eval_skip_space(char const** cursor);
int mpow(int base, int exponent);
