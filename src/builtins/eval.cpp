// The expression evaluator. A loose operator's right operand is the rest of the expression,
// so "a-b-c" is a-(b-c); the chain is gathered in a loop and folded from the right, which
// keeps long flat expressions off the native stack. Only brackets nest natively.
#include "eval.h"

#include "../host/host.h"
#include "registry.h"

eval_op eval_op_func[256];
unsigned char eval_op_kind[256];

static unsigned u(int v) { return (unsigned)v; }

static int eval_op_func_void(int left, int) { return left; }
static int eval_op_func_plus(int l, int r) { return (int)(u(l) + u(r)); }
static int eval_op_func_minus(int l, int r) { return (int)(u(l) - u(r)); }
static int eval_op_func_gr(int l, int r) { return l > r; }
static int eval_op_func_ls(int l, int r) { return l < r; }
static int eval_op_func_eq(int l, int r) { return l == r; }
static int eval_op_func_or(int l, int r) { return l | r; }
static int eval_op_func_xor(int l, int r) { return l ^ r; }
static int eval_op_func_and(int l, int r) { return l & r; }
static int eval_op_func_mul(int l, int r) { return (int)(u(l) * u(r)); }

// There is no number for a division by zero; the program is told so instead of crashing.
// -2147483648 / -1 wraps around like every other result.
static int eval_op_func_div(int l, int r) {
    Error(r == 0, "Division by zero in eval");
    if (r == -1) return (int)(0u - u(l));
    return l / r;
}

static int eval_op_func_mod(int l, int r) {
    Error(r == 0, "Division by zero in eval");
    if (r == -1) return 0;
    return l % r;
}

static int eval_op_func_pow(int l, int r) { return mpow(l, r); }

// Square and multiply. A negative exponent is the truncated reciprocal: 1 and -1 keep their
// magnitude, 0 is a division by zero, every other base gives 0.
int mpow(int base, int exponent) {
    if (exponent < 0) {
        Error(base == 0, "Division by zero in eval");
        if (base == 1) return 1;
        if (base == -1) return (exponent & 1) ? -1 : 1;
        return 0;
    }
    unsigned result = 1, b = u(base);
    unsigned e = u(exponent);
    do {
        if (e & 1) result *= b;
        b *= b;
        e >>= 1;
    } while (e);
    return (int)result;
}

void eval_init() {
    for (int i = 0; i < 256; i++) {
        eval_op_func[i] = eval_op_func_void;
        eval_op_kind[i] = EVAL_END;
    }
    struct {
        char c;
        eval_op f;
        eval_kind kind;
    } const ops[] = {
        {'+', eval_op_func_plus, EVAL_LOOSE}, {'-', eval_op_func_minus, EVAL_LOOSE},
        {'>', eval_op_func_gr, EVAL_LOOSE},   {'<', eval_op_func_ls, EVAL_LOOSE},
        {'=', eval_op_func_eq, EVAL_LOOSE},   {'|', eval_op_func_or, EVAL_LOOSE},
        {'~', eval_op_func_xor, EVAL_LOOSE},  {'&', eval_op_func_and, EVAL_TIGHT},
        {'*', eval_op_func_mul, EVAL_TIGHT},  {'/', eval_op_func_div, EVAL_TIGHT},
        {'\\', eval_op_func_mod, EVAL_TIGHT}, {'^', eval_op_func_pow, EVAL_TIGHT},
    };
    for (auto& op : ops) {
        eval_op_func[(unsigned char)op.c] = op.f;
        eval_op_kind[(unsigned char)op.c] = (unsigned char)op.kind;
    }
}

void eval_skip_space(char const** cursor) {
    while (**cursor >= 1 && **cursor <= 32) (*cursor)++;
}

static int digit_value(char c, int base) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
    return d < base ? d : -1;
}

static int read_number(char const** cursor) {
    char const* p = *cursor;
    unsigned base = 10, v = 0;
    if (p[0] != '0') {  // decimal, the common case
        for (unsigned d; (d = (unsigned)(unsigned char)*p - '0') < 10; p++) v = v * 10 + d;
        *cursor = p;
        return (int)v;
    }
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
        p++;
    }
    for (int d; (d = digit_value(*p, (int)base)) >= 0; p++) v = v * base + (unsigned)d;
    *cursor = p;
    return (int)v;
}

void eval_simple(char const** cursor, int* value) {
    eval_skip_space(cursor);
    int complements = 0;
    while (**cursor == '!') {
        complements++;
        (*cursor)++;
        eval_skip_space(cursor);
    }
    if (**cursor == '(') {
        stack_check();  // brackets are the only way the evaluator recurses
        (*cursor)++;
        eval_expr(cursor, value);
        eval_skip_space(cursor);
        Error(**cursor != ')', 18, ")");
        (*cursor)++;
    } else {
        *value = read_number(cursor);
    }
    if (complements & 1) *value = ~*value;
}

namespace {
struct pending {
    int left;
    eval_op op;
};
}  // namespace

void eval_expr(char const** cursor, int* value) {
    pending small[16];
    pending* chain = small;
    int count = 0, room = 16;
    int v = 0;
    for (;;) {
        eval_simple(cursor, &v);
        unsigned char c;
        for (;;) {
            eval_skip_space(cursor);
            c = (unsigned char)**cursor;
            if (eval_op_kind[c] != EVAL_TIGHT) break;
            (*cursor)++;
            int right = 0;
            eval_simple(cursor, &right);
            v = eval_op_func[c](v, right);
        }
        if (eval_op_kind[c] != EVAL_LOOSE) break;
        (*cursor)++;
        if (count == room) {
            pending* bigger = new pending[room * 2];
            for (int i = 0; i < count; i++) bigger[i] = chain[i];
            if (chain != small) delete[] chain;
            chain = bigger;
            room *= 2;
        }
        chain[count++] = {v, eval_op_func[c]};
        v = 0;
    }
    while (count) {
        count--;
        v = chain[count].op(chain[count].left, v);
    }
    if (chain != small) delete[] chain;
    *value = v;
}

int evaluate(char const* text) {
    if (!eval_op_func[0]) eval_init();
    int value = 0;
    eval_expr(&text, &value);
    return value;
}

// Most expressions are plain decimal numbers between operators ("n-1", "i*200+j"), often
// spread over several arguments: their value needs no brackets, spaces or other bases, and
// it is read straight from the argument atoms, by the rules eval_expr applies to the joined
// text (a tight operator takes the number after it at once, a loose one waits for the rest).
// A number of the number table stands for its value; a number's digits may not run on from
// one atom into the next (joined, they would make another number): what follows a number
// must be an operator. 0 for any other text, which is then joined and read by the parser
// from its start (an error such as a division by zero is met in the same order).
static int evaluate_parts(list_s* args, int* value) {
    struct {
        unsigned left;
        unsigned char op;
    } chain[16];
    int count = 0;
    unsigned v = 0;
    unsigned char op = 0;  // the operator waiting for its right operand, none at first
    int operand = 1;       // a number comes next
    for (; args; args = args->next) {
        atom_s* a = args->atom;
        char const *p = a->data, *end = p + a->length;
        while (p < end) {
            unsigned n;
            if (!operand) {
                op = (unsigned char)*p++;
                if (eval_op_kind[op] == EVAL_END) return 0;
                operand = 1;
                continue;
            }
            if (a->flag(AI_NUMBER)) {
                n = a->number;
                p = end;
            } else {
                if (*p < '0' || *p > '9') return 0;
                // A leading zero is an octal or hexadecimal number's, which the parser reads.
                if (*p == '0' && p + 1 < end && ((p[1] >= '0' && p[1] <= '9') || p[1] == 'x' || p[1] == 'X')) return 0;
                for (n = 0; p < end && *p >= '0' && *p <= '9'; p++) n = n * 10 + (unsigned)(*p - '0');
            }
            operand = 0;
            if (!op) {
                v = n;
            } else if (eval_op_kind[op] == EVAL_TIGHT) {
                v = (unsigned)eval_op_func[op]((int)v, (int)n);
            } else {
                if (count == 16) return 0;
                chain[count++] = {v, op};
                v = n;
            }
        }
    }
    if (operand) return 0;  // nothing, or an operator with no number after it
    while (count) {
        count--;
        v = (unsigned)eval_op_func[chain[count].op]((int)chain[count].left, (int)v);
    }
    *value = (int)v;
    return 1;
}

// A plain decimal number (no sign, no leading zero but "0" itself) at p; null when there is none.
static char const* read_decimal(char const* p, unsigned* v) {
    if (*p < '0' || *p > '9' || (p[0] == '0' && p[1] >= '0' && p[1] <= '9')) return nullptr;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return nullptr;
    unsigned n = 0;
    for (; *p >= '0' && *p <= '9'; p++) n = n * 10 + (unsigned)(*p - '0');
    *v = n;
    return p;
}

// "A op N op B", the middle a text of an operator, plain decimal digits and an operator. A
// tight first operator is applied at once, (A op N) op B; a loose one waits for the rest,
// A op (N op B), whatever the second is.
static int evaluate_middle(unsigned a, atom_s* t, unsigned b, int* value) {
    unsigned n;
    if (t->length < 3 || t->length >= ATOM_LONG) return 0;  // a short text ends in a NUL
    char const* end = read_decimal(t->data + 1, &n);
    if (!end || end != t->data + t->length - 1) return 0;
    unsigned char first = (unsigned char)t->data[0], second = (unsigned char)*end;
    if (eval_op_kind[first] == EVAL_END || eval_op_kind[second] == EVAL_END) return 0;
    if (eval_op_kind[first] == EVAL_TIGHT)
        *value = eval_op_func[second](eval_op_func[first]((int)a, (int)n), (int)b);
    else
        *value = eval_op_func[first]((int)a, eval_op_func[second]((int)n, (int)b));
    return 1;
}

// The commonest forms, read quicker: arguments that spell "A op B" or "A", A and B numbers
// of the number table given whole, the operator alone between them or in front of B's plain
// decimal digits ("n" "-1"), and "A op N op B" with the middle given whole ("i" "*200+" "j").
static int evaluate_atoms(list_s* args, int* value) {
    atom_s* a = args->atom;
    if (a->notflag(AI_NUMBER)) return 0;
    list_s* rest = args->next;
    if (!rest) {
        *value = (int)a->number;
        return 1;
    }
    atom_s* t = rest->atom;
    unsigned b;
    if (!rest->next) {
        if (t->length < 2 || t->length >= ATOM_LONG) return 0;  // a short text ends in a NUL
        char const* end = read_decimal(t->data + 1, &b);
        if (!end || *end) return 0;
    } else {
        atom_s* c = rest->next->atom;
        if (rest->next->next || c->notflag(AI_NUMBER)) return 0;
        b = c->number;
        if (t->length != 1) return evaluate_middle(a->number, t, b, value);
    }
    unsigned char op = (unsigned char)t->data[0];
    if (eval_op_kind[op] == EVAL_END) return 0;
    *value = eval_op_func[op]((int)a->number, (int)b);
    return 1;
}

static atom_s* eval_text(list_s* args) {
    int value;
    if (args && (evaluate_atoms(args, &value) || evaluate_parts(args, &value))) return atoms_add(value);
    // The joined text usually fits on the stack; a longer one goes to the heap, and a total
    // past the longest text is refused by reserve() before anything is copied.
    long long n = 0;
    for (list_s* v = args; v; v = v->next) n += v->atom->length;
    char small[256];
    str_s big;
    char* text = small;
    if (n >= (long long)sizeof small) text = big.init().reserve(n).data;
    int at = 0;
    for (list_s* v = args; v; v = v->next) {
        text_copy(text + at, v->atom->data, v->atom->length);
        at += v->atom->length;
    }
    text[at] = 0;
    value = evaluate(text);
    if (text != small) big.free();
    return atoms_add(value);
}

// An expression's value depends on its text alone, and an atom's text never changes: a call
// with the same argument atoms as an earlier one has the same value atom. Programs evaluate
// the same few expressions over and over (a counter's "-1", a test, fib's sums), so the value
// of a call with one to three arguments is kept in a table of 1024 slots, found by a hash of
// the arguments' addresses; a slot holds the latest call that hashed to it. A value that
// the call had to make is not kept: a program that makes a new number at every step (a
// running total, a row's index) never asks for it again, and keeping it would push out the
// values that are asked for again; a repeated call is kept the second time it comes.
namespace {
struct eval_memo {
    atom_s* args[3];
    atom_s* value;
};
}  // namespace
static eval_memo memo[1024];

// The first argument's address picks the slot, the others' shift it: number atoms lie 32
// bytes apart in the order they were made, so a count's numbers fill consecutive slots.
static unsigned memo_hash(atom_s* k0, atom_s* k1, atom_s* k2) {
    uintptr_t rest = ((uintptr_t)k1 * 0xC2B2AE3D27D4EB4Full + (uintptr_t)k2 * 0x165667B19E3779F9ull) >> 54;
    return (unsigned)(((uintptr_t)k0 >> 5) + rest) & 1023;
}

static __attribute__((noinline)) atom_s* eval_remember(list_s* args, eval_memo& slot) {
    int made = atoms_count();
    atom_s* value = eval_text(args);
    if (atoms_count() != made) return value;
    list_s* b = args->next;
    list_s* c = b ? b->next : nullptr;
    slot = {{args->atom, b ? b->atom : nullptr, c ? c->atom : nullptr}, value};
    return value;
}

atom_s* eval_recall(atom_s* k0, atom_s* k1, atom_s* k2, unsigned& at) {
    eval_memo& slot = memo[at = memo_hash(k0, k1, k2)];
    return slot.args[0] == k0 && slot.args[1] == k1 && slot.args[2] == k2 ? slot.value : nullptr;
}

atom_s* eval_keep(list_s* args, unsigned slot) { return eval_remember(args, memo[slot]); }

atom_s* kavo_eval(list_s* args, list_s*) {
    if (!args) return eval_text(args);
    list_s* b = args->next;
    list_s* c = b ? b->next : nullptr;
    if (c && c->next) return eval_text(args);
    atom_s* k0 = args->atom;
    atom_s* k1 = b ? b->atom : nullptr;
    atom_s* k2 = c ? c->atom : nullptr;
    unsigned slot;
    if (atom_s* value = eval_recall(k0, k1, k2, slot)) return value;
    return eval_remember(args, memo[slot]);  // a call in last position: a hit saves no registers
}
