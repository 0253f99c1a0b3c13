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

struct atom_s;
// For the runner, which can see an eval's argument atoms before it makes their list: the
// value `eval` gave last for these one to three atoms (null for those missing) when it is
// still remembered, else null and `slot` says where eval_keep will remember it.
atom_s* eval_recall(atom_s* a, atom_s* b, atom_s* c, unsigned& slot);
struct list_s;
atom_s* eval_keep(list_s* args, unsigned slot);  // what kavo_eval gives for args, remembered
