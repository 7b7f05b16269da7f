/* A host of the library as a Windows program calls it: it loads
 * Talvek_Pension_Model.dll by name, finds CountInputData and
 * GenerateLiabilities by their plain names, builds the argument arrays with
 * OLE Automation (doubles VT_R8, the column map VT_I2, the status codes as the
 * ANSI strings a spreadsheet host hands to a declared function), and makes
 * the 2 and 26 argument calls itself, slot by slot: the 32-bit host pushes
 * them and checks that the callee took them off the stack (the standard
 * call); the 64-bit host passes them the x64 way. Both check that the
 * callee kept the registers it must keep. It then writes the counters and the
 * result arrays bit for bit.
 *
 * Built for Linux too (dlopen and the library's own descriptor layout), so
 * that the same inputs give a reference from the Linux build that the
 * Windows results are compared with, byte for byte.
 *
 *   windows_host LIBRARY INPUTS MEMBERFILE
 *
 * runs in the current directory: the run's listing.txt, errors.txt and
 * testoutput.txt land there, and results.txt with what came back.
 *
 * INPUTS holds one item a line: "scalar NAME VALUE" (decimal), or
 * "array NAME TYPE COUNT" followed by COUNT lines, one element each: r8 as the
 * 16 hex digits of the double's bits, i2 as a decimal, str as the hex digits
 * of the string's bytes ("." for the empty string). A memberTotal of -1 means
 * the count that CountInputData returns. */
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#include <oleauto.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

#include "talvek_pension_model.h"

enum { kArrayCount = 16, kMaxElements = 4096, kMaxStringBytes = 64, kGenerateSlots = 26 };
enum { kExitDone = 0, kExitUsage = 1, kExitLoad = 3, kExitStack = 4 };

/* The array arguments of GenerateLiabilities, in the order of the call. */
static const char *const kArrayNames[kArrayCount] = {
    "baseMortality",   "mortalityImprovement", "columnMap",       "statusCodes",
    "planParameters",  "retirementFactors",    "demographicParameters",
    "economicParameters", "retirementRates",   "disabilityRates", "withdrawalRates",
    "salaryScale",     "memberCounts",         "decrementCounts", "yearlyRates",
    "benefitCashflows"};

enum ElementType { kDouble, kShort, kString };

typedef struct {
    enum ElementType type;
    long count;
    double *doubles;
    int16_t *shorts;
    char (*strings)[kMaxStringBytes + 1];
    int32_t *stringLengths;
} ArrayInput;

typedef struct {
    int32_t valuationYear, mortalityBaseYear, delimiterCode;
    int32_t memberTotal, membersDone, errorCount;
    ArrayInput arrays[kArrayCount];
} RunInputs;

static int arrayIndex(const char *name) {
    for (int i = 0; i < kArrayCount; ++i) {
        if (strcmp(kArrayNames[i], name) == 0) return i;
    }
    return -1;
}

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/* The double whose bits the 16 hex digits spell: no decimal conversion of the
 * C runtime touches the value. */
static int parseDoubleBits(const char *text, double *value) {
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0) return 0;
        bits = (bits << 4) | (uint64_t)digit;
    }
    memcpy(value, &bits, sizeof bits);
    return 1;
}

static int parseStringBytes(const char *text, char *out, int32_t *length) {
    *length = 0;
    if (strcmp(text, ".") == 0) {
        out[0] = '\0';
        return 1;
    }
    const size_t digits = strlen(text);
    if (digits % 2 != 0 || digits / 2 > kMaxStringBytes) return 0;
    for (size_t i = 0; i < digits; i += 2) {
        const int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) return 0;
        out[(*length)++] = (char)(high * 16 + low);
    }
    out[*length] = '\0';
    return 1;
}

static void trimLineEnd(char *line) {
    size_t length = strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = 0;
}

static int readArray(FILE *in, ArrayInput *array, const char *type, long count) {
    if (count <= 0 || count > kMaxElements) return 0;
    array->count = count;
    if (strcmp(type, "r8") == 0) {
        array->type = kDouble;
        array->doubles = calloc((size_t)count, sizeof *array->doubles);
    } else if (strcmp(type, "i2") == 0) {
        array->type = kShort;
        array->shorts = calloc((size_t)count, sizeof *array->shorts);
    } else if (strcmp(type, "str") == 0) {
        array->type = kString;
        array->strings = calloc((size_t)count, sizeof *array->strings);
        array->stringLengths = calloc((size_t)count, sizeof *array->stringLengths);
    } else {
        return 0;
    }
    char line[256];
    for (long i = 0; i < count; ++i) {
        if (fgets(line, sizeof line, in) == NULL) return 0;
        trimLineEnd(line);
        int ok = 0;
        if (array->type == kDouble) {
            ok = strlen(line) == 16 && parseDoubleBits(line, &array->doubles[i]);
        } else if (array->type == kShort) {
            char *end = NULL;
            errno = 0;
            const long value = strtol(line, &end, 10);
            ok = errno == 0 && end != line && *end == '\0' && value >= INT16_MIN && value <= INT16_MAX;
            array->shorts[i] = (int16_t)value;
        } else {
            ok = parseStringBytes(line, array->strings[i], &array->stringLengths[i]);
        }
        if (!ok) return 0;
    }
    return 1;
}

static int readInputs(const char *path, RunInputs *inputs) {
    FILE *in = fopen(path, "rb");
    if (in == NULL) {
        fprintf(stderr, "host: cannot read %s\n", path);
        return 0;
    }
    char line[256], name[64], type[16];
    long value = 0;
    int ok = 1;
    while (ok && fgets(line, sizeof line, in) != NULL) {
        trimLineEnd(line);
        if (line[0] == '\0' || line[0] == '#') continue;
        if (sscanf(line, "scalar %63s %ld", name, &value) == 2) {
            int32_t *scalar = strcmp(name, "valuationYear") == 0       ? &inputs->valuationYear
                              : strcmp(name, "mortalityBaseYear") == 0 ? &inputs->mortalityBaseYear
                              : strcmp(name, "delimiterCode") == 0     ? &inputs->delimiterCode
                              : strcmp(name, "memberTotal") == 0       ? &inputs->memberTotal
                              : strcmp(name, "membersDone") == 0       ? &inputs->membersDone
                              : strcmp(name, "errorCount") == 0        ? &inputs->errorCount
                                                                       : NULL;
            ok = scalar != NULL;
            if (ok) *scalar = (int32_t)value;
        } else if (sscanf(line, "array %63s %15s %ld", name, type, &value) == 3) {
            const int index = arrayIndex(name);
            ok = index >= 0 && readArray(in, &inputs->arrays[index], type, value);
        } else {
            ok = 0;
        }
        if (!ok) fprintf(stderr, "host: %s: cannot read the item \"%s\"\n", path, line);
    }
    fclose(in);
    for (int i = 0; ok && i < kArrayCount; ++i) {
        if (inputs->arrays[i].count == 0) {
            fprintf(stderr, "host: %s: the array %s is missing\n", path, kArrayNames[i]);
            ok = 0;
        }
    }
    return ok;
}

static void writeDoubles(FILE *out, const char *name, const double *values, long count) {
    fprintf(out, "array %s r8 %ld\n", name, count);
    for (long i = 0; i < count; ++i) {
        uint64_t bits;
        memcpy(&bits, &values[i], sizeof bits);
        fprintf(out, "%08lx%08lx\n", (unsigned long)(bits >> 32), (unsigned long)(bits & 0xFFFFFFFFu));
    }
}

/* True when "testoutput.txt" exists in the current directory and is empty. */
static int scratchFileEmpty(void) {
    FILE *scratch = fopen("testoutput.txt", "rb");
    if (scratch == NULL) return 0;
    const int empty = fgetc(scratch) == EOF;
    fclose(scratch);
    return empty;
}

typedef struct {
    int32_t countResult, count;
    int32_t memberTotal, membersDone, errorCount;
    int16_t statusWord;
    const double *results[3]; /* memberCounts, decrementCounts, benefitCashflows */
    long resultCounts[3];
} RunOutcome;

static int writeOutcome(const char *path, const RunInputs *inputs, const RunOutcome *outcome) {
    FILE *out = fopen(path, "wb");
    if (out == NULL) return 0;
    fprintf(out, "scalar countInputData.ret %ld\n", (long)outcome->countResult);
    fprintf(out, "scalar countInputData.count %ld\n", (long)outcome->count);
    fprintf(out, "scalar memberTotal %ld\n", (long)outcome->memberTotal);
    fprintf(out, "scalar memberTotalUnchanged %d\n",
            outcome->memberTotal == (inputs->memberTotal < 0 ? outcome->count : inputs->memberTotal));
    fprintf(out, "scalar membersDone %ld\n", (long)outcome->membersDone);
    fprintf(out, "scalar errorCount %ld\n", (long)outcome->errorCount);
    fprintf(out, "scalar statusWord %d\n", (int)outcome->statusWord);
    fprintf(out, "scalar scratchFileEmpty %d\n", scratchFileEmpty());
    static const char *const names[3] = {"memberCounts", "decrementCounts", "benefitCashflows"};
    for (int i = 0; i < 3; ++i) writeDoubles(out, names[i], outcome->results[i], outcome->resultCounts[i]);
    return fclose(out) == 0;
}

/* The status word's slot is passed but never used: a marker shows that. */
enum { kStatusWordMarker = 0x1234 };

#if defined(_WIN32)

/* ---- Windows: OLE Automation arrays and a standard-call caller's stack ---- */

#if defined(_WIN64)

/* One argument slot: x64 passes every argument in a 64-bit register or stack
 * slot, and has one calling convention: the caller owns the stack. */
typedef uint64_t Slot;

/* The registers around the last call made by callWithSlots. */
volatile uint64_t stackBefore __asm__("talvekStackBefore");
volatile uint64_t stackAfter __asm__("talvekStackAfter");
/* rbx, rbp, rsi, rdi, r12, r13, r14, r15: the callee must keep them */
volatile uint64_t savedRegisters[8] __asm__("talvekSavedRegisters");
volatile uint64_t returnedRegisters[8] __asm__("talvekReturnedRegisters");
#define TALVEK_KEPT_REGISTERS 8
#define TALVEK_KEPT_NAMES "rbx, rbp, rsi, rdi, r12 to r15"

/* Calls fn with count slots (at least 4 readable) the x64 way: the first four
 * in rcx, rdx, r8, r9, the rest on the stack above 32 bytes of home space,
 * the stack aligned to 16 bytes at the call. The callee-saved registers and
 * the stack pointer are taken just before and just after the call. */
uint64_t callWithSlots(FARPROC fn, const Slot *slots, uint64_t count) __asm__("talvekCallWithSlots");
__asm__(".text\n"
        ".globl talvekCallWithSlots\n"
        "talvekCallWithSlots:\n"
        "    pushq %rbp\n"
        "    movq %rsp, %rbp\n"
        "    pushq %rbx\n"
        "    pushq %rsi\n"
        "    pushq %rdi\n"
        "    pushq %r12\n"
        "    pushq %r13\n"
        "    pushq %r14\n"
        "    pushq %r15\n"
        "    subq $8, %rsp\n"
        "    movq %rcx, %r10\n"
        "    movq %rdx, %rsi\n"
        "    movq %r8, %rdi\n"
        "    movq %rdi, %rax\n"
        "    cmpq $4, %rax\n"
        "    jae 1f\n"
        "    movq $4, %rax\n"
        "1:  leaq 15(,%rax,8), %rax\n"
        "    andq $-16, %rax\n"
        "    subq %rax, %rsp\n"
        "    movq $4, %rcx\n"
        "2:  cmpq %rdi, %rcx\n"
        "    jae 3f\n"
        "    movq (%rsi,%rcx,8), %rax\n"
        "    movq %rax, (%rsp,%rcx,8)\n"
        "    incq %rcx\n"
        "    jmp 2b\n"
        "3:  movq 0(%rsi), %rcx\n"
        "    movq 8(%rsi), %rdx\n"
        "    movq 16(%rsi), %r8\n"
        "    movq 24(%rsi), %r9\n"
        "    movq %rsp, talvekStackBefore(%rip)\n"
        "    movq %rbx, talvekSavedRegisters(%rip)\n"
        "    movq %rbp, talvekSavedRegisters+8(%rip)\n"
        "    movq %rsi, talvekSavedRegisters+16(%rip)\n"
        "    movq %rdi, talvekSavedRegisters+24(%rip)\n"
        "    movq %r12, talvekSavedRegisters+32(%rip)\n"
        "    movq %r13, talvekSavedRegisters+40(%rip)\n"
        "    movq %r14, talvekSavedRegisters+48(%rip)\n"
        "    movq %r15, talvekSavedRegisters+56(%rip)\n"
        "    call *%r10\n"
        "    movq %rsp, talvekStackAfter(%rip)\n"
        "    movq %rbx, talvekReturnedRegisters(%rip)\n"
        "    movq %rbp, talvekReturnedRegisters+8(%rip)\n"
        "    movq %rsi, talvekReturnedRegisters+16(%rip)\n"
        "    movq %rdi, talvekReturnedRegisters+24(%rip)\n"
        "    movq %r12, talvekReturnedRegisters+32(%rip)\n"
        "    movq %r13, talvekReturnedRegisters+40(%rip)\n"
        "    movq %r14, talvekReturnedRegisters+48(%rip)\n"
        "    movq %r15, talvekReturnedRegisters+56(%rip)\n"
        "    leaq -56(%rbp), %rsp\n"
        "    popq %r15\n"
        "    popq %r14\n"
        "    popq %r13\n"
        "    popq %r12\n"
        "    popq %rdi\n"
        "    popq %rsi\n"
        "    popq %rbx\n"
        "    popq %rbp\n"
        "    ret\n");

/* What the callee left of the stack: on x64 the caller removes the
 * arguments, so the stack pointer after the call must equal the one before. */
static long argumentBytesRemoved(uint32_t slots) {
    (void)slots;
    return 0;
}

#else

/* One argument slot: 32 bits on the stack. */
typedef uint32_t Slot;

/* The registers around the last call made by callWithSlots. */
volatile uint32_t stackBefore __asm__("talvekStackBefore");
volatile uint32_t stackAfter __asm__("talvekStackAfter");
volatile uint32_t savedRegisters[3] __asm__("talvekSavedRegisters");  /* ebx, esi, edi */
volatile uint32_t returnedRegisters[3] __asm__("talvekReturnedRegisters");
#define TALVEK_KEPT_REGISTERS 3
#define TALVEK_KEPT_NAMES "ebx, esi, edi"

/* Pushes count 32-bit slots, the last first, calls fn and returns its eax.
 * The stack pointer is taken just before the first push and just after the
 * return: a standard-call callee leaves them equal. The stack is put back
 * either way, so that a wrong callee is reported, not crashed on. */
uint32_t callWithSlots(FARPROC fn, const uint32_t *slots, uint32_t count) __asm__("talvekCallWithSlots");
__asm__(".text\n"
        ".globl talvekCallWithSlots\n"
        "talvekCallWithSlots:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %ebx\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    movl 12(%ebp), %esi\n"
        "    movl 16(%ebp), %ecx\n"
        "    movl %esp, talvekStackBefore\n"
        "    movl %esp, %ebx\n"
        "    movl %ebx, talvekSavedRegisters\n"
        "    movl %esi, talvekSavedRegisters+4\n"
        "    movl %edi, talvekSavedRegisters+8\n"
        "1:  testl %ecx, %ecx\n"
        "    jz 2f\n"
        "    decl %ecx\n"
        "    pushl (%esi,%ecx,4)\n"
        "    jmp 1b\n"
        "2:  call *8(%ebp)\n"
        "    movl %esp, talvekStackAfter\n"
        "    movl %ebx, talvekReturnedRegisters\n"
        "    movl %esi, talvekReturnedRegisters+4\n"
        "    movl %edi, talvekReturnedRegisters+8\n"
        "    movl talvekStackBefore, %esp\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebx\n"
        "    popl %ebp\n"
        "    ret\n");

/* A standard-call callee removes its own arguments: 4 bytes a slot. */
static long argumentBytesRemoved(uint32_t slots) { return 4L * (long)slots; }

#endif

/* Reports the stack and the callee-saved registers of the last call. */
static int checkCallFrame(const char *function, uint32_t slots) {
    const long long left = (long long)(stackBefore - stackAfter);
    int registersKept = 1;
    for (int i = 0; i < TALVEK_KEPT_REGISTERS; ++i) {
        registersKept &= savedRegisters[i] == returnedRegisters[i];
    }
    const long expected = argumentBytesRemoved(slots);
    printf("%s: stack pointer 0x%0*llx before the call, 0x%0*llx after it: %lld of %ld argument bytes "
           "removed by the callee; " TALVEK_KEPT_NAMES " %s\n",
           function, (int)(2 * sizeof(Slot)), (unsigned long long)stackBefore, (int)(2 * sizeof(Slot)),
           (unsigned long long)stackAfter, (long long)expected - left, expected,
           registersKept ? "kept" : "CHANGED");
    return left == 0 && registersKept;
}

static Slot slotOf(const void *pointer) { return (Slot)(uintptr_t)pointer; }

/* A spreadsheet host passes a 16-bit Integer in a wider slot and does not
 * promise what the upper bits hold: fill them with a pattern to show that
 * only the low 16 bits are read. */
static Slot shortSlot(int32_t value) {
    return (Slot)(0xA5A5A5A5A5A50000ull | ((uint32_t)value & 0xFFFFu));
}

static SAFEARRAY *makeArray(const ArrayInput *input, LONG lowerBound) {
    const VARTYPE type = input->type == kDouble ? VT_R8 : input->type == kShort ? VT_I2 : VT_BSTR;
    SAFEARRAY *array = SafeArrayCreateVector(type, lowerBound, (ULONG)input->count);
    if (array == NULL) return NULL;
    void *data = NULL;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        return NULL;
    }
    if (input->type == kDouble) {
        memcpy(data, input->doubles, (size_t)input->count * sizeof(double));
    } else if (input->type == kShort) {
        memcpy(data, input->shorts, (size_t)input->count * sizeof(int16_t));
    } else {
        /* A String array handed to a declared function reaches it as BSTRs
         * whose bytes are the ANSI text: the library reads them as char*. */
        BSTR *strings = (BSTR *)data;
        for (long i = 0; i < input->count; ++i) {
            strings[i] = SysAllocStringByteLen(input->strings[i], (UINT)input->stringLengths[i]);
        }
    }
    SafeArrayUnaccessData(array);
    return array;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: windows_host LIBRARY INPUTS MEMBERFILE\n");
        return kExitUsage;
    }
    static RunInputs inputs;
    if (!readInputs(argv[2], &inputs)) return kExitUsage;

    HMODULE library = LoadLibraryA(argv[1]);
    if (library == NULL) {
        fprintf(stderr, "host: cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
        return kExitLoad;
    }
    FARPROC countInputData = GetProcAddress(library, "CountInputData");
    FARPROC generateLiabilities = GetProcAddress(library, "GenerateLiabilities");
    if (countInputData == NULL || generateLiabilities == NULL) {
        fprintf(stderr, "host: %s does not export CountInputData and GenerateLiabilities\n", argv[1]);
        return kExitLoad;
    }

    int framesKept = 1;
    RunOutcome outcome;
    memset(&outcome, 0, sizeof outcome);
    /* four slots: x64 loads four argument registers whatever the count */
    const Slot countSlots[4] = {slotOf(argv[3]), slotOf(&outcome.count), 0, 0};
    outcome.count = -1;
    outcome.countResult = (int32_t)callWithSlots(countInputData, countSlots, 2);
    framesKept &= checkCallFrame("CountInputData", 2);

    SAFEARRAY *arrays[kArrayCount];
    for (int i = 0; i < kArrayCount; ++i) {
        /* the result arrays as a host that counts from 1 declares them: the
         * library still takes the first stored element as element 0 */
        const LONG lowerBound = i == 12 || i == 13 || i == 15 ? 1 : 0;
        arrays[i] = makeArray(&inputs.arrays[i], lowerBound);
        if (arrays[i] == NULL) {
            fprintf(stderr, "host: cannot make the array %s\n", kArrayNames[i]);
            return kExitUsage;
        }
    }
    outcome.memberTotal = inputs.memberTotal < 0 ? outcome.count : inputs.memberTotal;
    outcome.membersDone = inputs.membersDone;
    outcome.errorCount = inputs.errorCount;
    outcome.statusWord = kStatusWordMarker;

    const Slot slots[kGenerateSlots] = {
        slotOf(argv[3]), slotOf("listing.txt"), slotOf("errors.txt"),
        shortSlot(inputs.valuationYear), slotOf(&outcome.memberTotal),
        slotOf(&outcome.membersDone), slotOf(&outcome.errorCount), slotOf(&outcome.statusWord),
        slotOf(&arrays[0]), shortSlot(inputs.mortalityBaseYear), slotOf(&arrays[1]),
        slotOf(&arrays[2]), shortSlot(inputs.delimiterCode), slotOf(&arrays[3]),
        slotOf(&arrays[4]), slotOf(&arrays[5]), slotOf(&arrays[6]), slotOf(&arrays[7]),
        slotOf(&arrays[8]), slotOf(&arrays[9]), slotOf(&arrays[10]), slotOf(&arrays[11]),
        slotOf(&arrays[12]), slotOf(&arrays[13]), slotOf(&arrays[14]), slotOf(&arrays[15])};
    callWithSlots(generateLiabilities, slots, kGenerateSlots);
    framesKept &= checkCallFrame("GenerateLiabilities", kGenerateSlots);

    const int resultIndex[3] = {12, 13, 15};
    for (int i = 0; i < 3; ++i) {
        void *data = NULL;
        SafeArrayAccessData(arrays[resultIndex[i]], &data);
        outcome.results[i] = (const double *)data;
        outcome.resultCounts[i] = inputs.arrays[resultIndex[i]].count;
    }
    const int written = writeOutcome("results.txt", &inputs, &outcome);
    for (int i = 0; i < 3; ++i) SafeArrayUnaccessData(arrays[resultIndex[i]]);
    for (int i = 0; i < kArrayCount; ++i) SafeArrayDestroy(arrays[i]);
    FreeLibrary(library);
    if (!written) {
        fprintf(stderr, "host: cannot write results.txt\n");
        return kExitUsage;
    }
    return framesKept ? kExitDone : kExitStack;
}

#else

/* ---- Linux: the reference run through the Linux build of the library ---- */

typedef int32_t (*CountInputDataFunction)(const char *, int32_t *);
typedef void (*GenerateLiabilitiesFunction)(
    const char *, const char *, const char *, int32_t, int32_t *, int32_t *, int32_t *, int16_t *,
    SAFEARRAY **, int32_t, SAFEARRAY **, SAFEARRAY **, int32_t, SAFEARRAY **, SAFEARRAY **,
    SAFEARRAY **, SAFEARRAY **, SAFEARRAY **, SAFEARRAY **, SAFEARRAY **, SAFEARRAY **,
    SAFEARRAY **, SAFEARRAY **, SAFEARRAY **, SAFEARRAY **, SAFEARRAY **);

static void *dataOf(ArrayInput *input) {
    if (input->type == kDouble) return input->doubles;
    if (input->type == kShort) return input->shorts;
    /* the strings' pointers, as the Windows host's BSTRs point at bytes */
    const char **pointers = calloc((size_t)input->count, sizeof *pointers);
    for (long i = 0; i < input->count; ++i) pointers[i] = input->strings[i];
    return (void *)pointers;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: windows_host LIBRARY INPUTS MEMBERFILE\n");
        return kExitUsage;
    }
    static RunInputs inputs;
    if (!readInputs(argv[2], &inputs)) return kExitUsage;

    void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "host: cannot load %s: %s\n", argv[1], dlerror());
        return kExitLoad;
    }
    CountInputDataFunction countInputData;
    GenerateLiabilitiesFunction generateLiabilities;
    *(void **)&countInputData = dlsym(library, "CountInputData");
    *(void **)&generateLiabilities = dlsym(library, "GenerateLiabilities");
    if (countInputData == NULL || generateLiabilities == NULL) {
        fprintf(stderr, "host: %s does not export CountInputData and GenerateLiabilities\n", argv[1]);
        return kExitLoad;
    }

    RunOutcome outcome;
    memset(&outcome, 0, sizeof outcome);
    outcome.count = -1;
    outcome.countResult = countInputData(argv[3], &outcome.count);

    SAFEARRAY descriptors[kArrayCount];
    SAFEARRAY *arrays[kArrayCount];
    memset(descriptors, 0, sizeof descriptors);
    for (int i = 0; i < kArrayCount; ++i) {
        descriptors[i].cDims = 1;
        descriptors[i].pvData = dataOf(&inputs.arrays[i]);
        descriptors[i].rgsabound[0].cElements = (uint32_t)inputs.arrays[i].count;
        arrays[i] = &descriptors[i];
    }
    outcome.memberTotal = inputs.memberTotal < 0 ? outcome.count : inputs.memberTotal;
    outcome.membersDone = inputs.membersDone;
    outcome.errorCount = inputs.errorCount;
    outcome.statusWord = kStatusWordMarker;

    generateLiabilities(argv[3], "listing.txt", "errors.txt", inputs.valuationYear,
                        &outcome.memberTotal, &outcome.membersDone, &outcome.errorCount,
                        &outcome.statusWord, &arrays[0], inputs.mortalityBaseYear, &arrays[1],
                        &arrays[2], inputs.delimiterCode, &arrays[3], &arrays[4], &arrays[5],
                        &arrays[6], &arrays[7], &arrays[8], &arrays[9], &arrays[10], &arrays[11],
                        &arrays[12], &arrays[13], &arrays[14], &arrays[15]);

    const int resultIndex[3] = {12, 13, 15};
    for (int i = 0; i < 3; ++i) {
        outcome.results[i] = inputs.arrays[resultIndex[i]].doubles;
        outcome.resultCounts[i] = inputs.arrays[resultIndex[i]].count;
    }
    if (!writeOutcome("results.txt", &inputs, &outcome)) {
        fprintf(stderr, "host: cannot write results.txt\n");
        return kExitUsage;
    }
    return kExitDone;
}

#endif
