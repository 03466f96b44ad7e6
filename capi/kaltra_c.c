/*
 * kaltra-c: answers worksheet formulas through the C interface, one per input line, and prints
 * each answer as the kaltra host does (numbers with 17 significant digits, texts in UTF-8,
 * the add-in's error values as #ERR(code)). It is written in C against capi/kaltra.h alone,
 * finds every function in the function table and evaluates it with kaltra_evaluate, the four
 * text functions with their own entry points.
 *
 *   printf 'KaltPsat("R134a", 25, 1)\n' | kaltra-c
 *
 * A formula is Name(argument, ...) with texts in double quotes (a quote doubled inside) and
 * numbers; a line that is not such a formula prints #VALUE! and makes the exit status 1.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "capi/kaltra.h"

#define MAX_LINE 4096
#define MAX_ARGUMENTS 8

/* A parsed formula: the function's table position and its arguments as written. */
struct Formula {
    int function;
    int count;
    char text[MAX_LINE];  /* the text argument, without quotes */
    double numbers[MAX_ARGUMENTS];
    int isText[MAX_ARGUMENTS];
};

static const char* skipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

/* Reads a quoted text at p into out; the position after the closing quote, or NULL. */
static const char* readText(const char* p, char* out) {
    size_t n = 0;
    for (++p; *p != '\0'; ++p) {
        if (*p == '"') {
            if (p[1] != '"') {
                out[n] = '\0';
                return p + 1;
            }
            ++p;
        }
        out[n++] = *p;
    }
    return NULL;
}

static int parseFormula(const char* line, struct Formula* f) {
    char name[64];
    size_t n = 0;
    const char* p = skipBlanks(line);
    if (*p == '=') ++p;
    while ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9')) {
        if (n + 1 >= sizeof name) return 0;
        name[n++] = *p++;
    }
    name[n] = '\0';
    f->function = kaltra_function_find(name);
    f->count = 0;
    p = skipBlanks(p);
    if (f->function < 0 || *p++ != '(') return 0;
    p = skipBlanks(p);
    while (*p != ')') {
        if (f->count == MAX_ARGUMENTS) return 0;
        if (*p == '"') {
            p = readText(p, f->text);
            if (p == NULL) return 0;
            f->isText[f->count++] = 1;
        } else {
            char* end = NULL;
            f->numbers[f->count] = strtod(p, &end);
            if (end == p) return 0;
            f->isText[f->count++] = 0;
            p = end;
        }
        p = skipBlanks(p);
        if (*p == ',') p = skipBlanks(p + 1);
        else if (*p != ')') return 0;
    }
    return *skipBlanks(p + 1) == '\0' && f->count == kaltra_argument_count(f->function);
}

/* The add-in's Windows-1252 text as UTF-8 (its texts use only ASCII and Latin-1 marks). */
static void printText(const char* text) {
    const unsigned char* c;
    for (c = (const unsigned char*)text; *c != '\0'; ++c) {
        if (*c < 0x80) putchar(*c);
        else {
            putchar(0xC0 | (*c >> 6));
            putchar(0x80 | (*c & 0x3F));
        }
    }
    putchar('\n');
}

/* The four functions that answer a text, by their own entry points. */
static int answerText(const struct Formula* f) {
    char text[KALTRA_TEXT_SIZE];
    const char* name = kaltra_function_name(f->function);
    int code;
    if (strcmp(name, "KaltUnits") == 0) code = kaltra_KaltUnits((int)f->numbers[0], (int)f->numbers[1], text, sizeof text);
    else if (strcmp(name, "KaltName") == 0) code = kaltra_KaltName((int)f->numbers[0], text, sizeof text);
    else if (strcmp(name, "KaltLongName") == 0) code = kaltra_KaltLongName((int)f->numbers[0], text, sizeof text);
    else if (strcmp(name, "KaltForm") == 0) code = kaltra_KaltForm((int)f->numbers[0], text, sizeof text);
    else return 0;
    if (code != 0) printf("#ERR(%d)\n", code);
    else printText(text);
    return 1;
}

/* Every other function through the table: one call of kaltra_evaluate with no dimensions. */
static int answerNumber(const struct Formula* f) {
    double doubles[MAX_ARGUMENTS];
    int integers[MAX_ARGUMENTS];
    const void* arguments[MAX_ARGUMENTS];
    const char* fluid = NULL;
    int a, k = 0;
    double answer;
    for (a = 0; a < f->count; ++a) {
        char kind = kaltra_argument_kind(f->function, a);
        if (kind == 'C') {
            if (!f->isText[a]) return 0;
            fluid = f->text;
            continue;
        }
        if (f->isText[a]) return 0;
        doubles[a] = f->numbers[a];
        integers[a] = (int)f->numbers[a];  /* toward zero, as Excel passes an integer */
        arguments[k++] = kind == 'B' ? (const void*)&doubles[a] : (const void*)&integers[a];
    }
    if (kaltra_evaluate(f->function, fluid, 0, NULL, arguments, NULL, &answer) != KALTRA_OK) return 0;
    printf("%.17g\n", answer);
    return 1;
}

int main(void) {
    static char line[MAX_LINE];
    static struct Formula formula;
    int status = 0;
#ifdef _WIN32
    /* Lines end in "\n" alone, as on Linux. */
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    while (fgets(line, sizeof line, stdin) != NULL) {
        line[strcspn(line, "\r\n")] = '\0';
        if (!parseFormula(line, &formula) || !(answerText(&formula) || answerNumber(&formula))) {
            printf("#VALUE!\n");
            status = 1;
        }
        fflush(stdout);
    }
    return status;
}
