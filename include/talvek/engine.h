/* Talvek Pension Model: the engine's C interface.
 *
 * One call values a whole member file:
 *
 *     TalvekRunDef def = talvek_default_run_def();
 *     def.member_file = "members.txt";
 *     def.assumptions.plan_parameters = plan;   (and every other array)
 *     TalvekResults *results = malloc(sizeof *results);
 *     int32_t status = talvek_run(&def, results);
 *
 * The engine cuts the member file into pieces of TALVEK_PIECE_BYTES bytes
 * (each piece starts right after a line feed), values them on `jobs`
 * threads and adds the pieces' results together strictly in file order, so
 * that the results are the same bytes whatever the number of jobs and the
 * machine. It installs no signal handler, opens no window, writes no file
 * but the two reports it is asked for, and does not depend on the locale of
 * the calling program. Calls may run at the same time on different threads:
 * a run keeps no state outside its own call.
 *
 * Plain C, fixed-width types, no padding that depends on the compiler
 * beyond the natural alignment of each field (every struct below is laid out
 * with 8-byte fields first where it matters); documented in
 * docs/engine-interface.md. */
#ifndef TALVEK_ENGINE_H
#define TALVEK_ENGINE_H

#include <stdint.h>

#if defined(_WIN32)
#define TALVEK_API
#else
#define TALVEK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Version of the structs of this header; talvek_default_run_def fills it. */
#define TALVEK_ENGINE_VERSION 4

/* ------------------------------------------------------------------------
 * Result arrays: blocks of 111 yearly slots. Block k occupies elements
 * 111k .. 111k + 110; slot 0 is the valuation date, slot U projection year U.
 * Stocks hold the number at the end of the year, flows the number or amount
 * during it. Pairs of blocks are male then female, by the sex of the person
 * counted or paid. */
#define TALVEK_YEAR_SLOTS 111
#define TALVEK_ELEMENT(block, year) ((block) * TALVEK_YEAR_SLOTS + (year))

#define TALVEK_MEMBER_COUNT_BLOCKS 23
#define TALVEK_MEMBER_COUNTS_SIZE (TALVEK_MEMBER_COUNT_BLOCKS * TALVEK_YEAR_SLOTS)       /* 2553 */
#define TALVEK_DECREMENT_COUNT_BLOCKS 16
#define TALVEK_DECREMENT_COUNTS_SIZE (TALVEK_DECREMENT_COUNT_BLOCKS * TALVEK_YEAR_SLOTS) /* 1776 */
#define TALVEK_CASHFLOW_BLOCKS 19
#define TALVEK_BENEFIT_CASHFLOWS_SIZE (TALVEK_CASHFLOW_BLOCKS * TALVEK_YEAR_SLOTS)       /* 2109 */

/* Blocks of member_counts: expected numbers of people. */
enum TalvekMemberCountBlock {
    TALVEK_MEMBERS_LINES_READ = 0, /* element 0 only: lines read without a field error */
    TALVEK_MEMBERS_ACTIVE_MALE = 1,
    TALVEK_MEMBERS_ACTIVE_FEMALE = 2,
    TALVEK_MEMBERS_DISABLED_MALE = 3,
    TALVEK_MEMBERS_DISABLED_FEMALE = 4,
    TALVEK_MEMBERS_DEFERRED_MALE = 5,
    TALVEK_MEMBERS_DEFERRED_FEMALE = 6,
    TALVEK_MEMBERS_SERVICE_RETIREES_MALE = 7,   /* retired from service, past the guarantee */
    TALVEK_MEMBERS_SERVICE_RETIREES_FEMALE = 8,
    TALVEK_MEMBERS_DEFERRED_RETIREES_MALE = 9,  /* retired from deferment, past the guarantee */
    TALVEK_MEMBERS_DEFERRED_RETIREES_FEMALE = 10,
    TALVEK_MEMBERS_SERVICE_SURVIVORS_MALE = 11, /* spouses of pensioners retired from service */
    TALVEK_MEMBERS_SERVICE_SURVIVORS_FEMALE = 12,
    TALVEK_MEMBERS_DISABLED_SURVIVORS_MALE = 13, /* spouses of disability pensioners */
    TALVEK_MEMBERS_DISABLED_SURVIVORS_FEMALE = 14,
    TALVEK_MEMBERS_DEFERRED_SURVIVORS_MALE = 15, /* spouses of pensioners retired from deferment */
    TALVEK_MEMBERS_DEFERRED_SURVIVORS_FEMALE = 16,
    TALVEK_MEMBERS_LUMP_SUMS_MALE = 17,          /* lump sums paid in the year: a count, not a stock */
    TALVEK_MEMBERS_LUMP_SUMS_FEMALE = 18,
    TALVEK_MEMBERS_SERVICE_RETIREES_IN_GUARANTEE_MALE = 19,
    TALVEK_MEMBERS_SERVICE_RETIREES_IN_GUARANTEE_FEMALE = 20,
    TALVEK_MEMBERS_DEFERRED_RETIREES_IN_GUARANTEE_MALE = 21,
    TALVEK_MEMBERS_DEFERRED_RETIREES_IN_GUARANTEE_FEMALE = 22
};

/* Blocks of decrement_counts: expected events, both sexes in one block
 * (block 0 is never written). */
enum TalvekDecrementCountBlock {
    TALVEK_DECREMENTS_DEATHS_IN_SERVICE = 1,
    TALVEK_DECREMENTS_DISABLEMENTS = 2,
    TALVEK_DECREMENTS_SERVICE_RETIREMENTS = 3,
    TALVEK_DECREMENTS_DEFERRED_WITHDRAWALS = 4,  /* leavers with a deferred pension */
    TALVEK_DECREMENTS_TRANSFER_WITHDRAWALS = 5,  /* leavers taking a transfer value */
    TALVEK_DECREMENTS_DISABLED_DEATHS = 6,
    TALVEK_DECREMENTS_DEFERRED_DEATHS = 7,       /* deferred members dying before retirement */
    TALVEK_DECREMENTS_DEFERRED_RETIREMENTS = 8,
    TALVEK_DECREMENTS_SERVICE_RETIREE_DEATHS = 9,
    TALVEK_DECREMENTS_DEFERRED_RETIREE_DEATHS = 10,
    TALVEK_DECREMENTS_SERVICE_SURVIVOR_DEATHS = 11,
    TALVEK_DECREMENTS_DISABLED_SURVIVOR_DEATHS = 12, /* also the deaths of spouses in payment */
    TALVEK_DECREMENTS_DEFERRED_SURVIVOR_DEATHS = 13,
    TALVEK_DECREMENTS_GUARANTEE_DEATHS_SERVICE = 14,  /* counted when the guarantee ends */
    TALVEK_DECREMENTS_GUARANTEE_DEATHS_DEFERRED = 15
};

/* Blocks of benefit_cashflows: expected amounts, by the sex of the person
 * paid (block 0 is never written). */
enum TalvekCashflowBlock {
    TALVEK_CASHFLOWS_CONTRIBUTIONS_MALE = 1,
    TALVEK_CASHFLOWS_CONTRIBUTIONS_FEMALE = 2,
    TALVEK_CASHFLOWS_SERVICE_PENSION_MALE = 3,
    TALVEK_CASHFLOWS_SERVICE_PENSION_FEMALE = 4,
    TALVEK_CASHFLOWS_DISABILITY_PENSION_MALE = 5,
    TALVEK_CASHFLOWS_DISABILITY_PENSION_FEMALE = 6,
    TALVEK_CASHFLOWS_DEFERRED_PENSION_MALE = 7,
    TALVEK_CASHFLOWS_DEFERRED_PENSION_FEMALE = 8,
    TALVEK_CASHFLOWS_SERVICE_SPOUSE_PENSION_MALE = 9,    /* to widowers */
    TALVEK_CASHFLOWS_SERVICE_SPOUSE_PENSION_FEMALE = 10, /* to widows */
    TALVEK_CASHFLOWS_DISABLED_SPOUSE_PENSION_MALE = 11,
    TALVEK_CASHFLOWS_DISABLED_SPOUSE_PENSION_FEMALE = 12,
    TALVEK_CASHFLOWS_DEFERRED_SPOUSE_PENSION_MALE = 13,
    TALVEK_CASHFLOWS_DEFERRED_SPOUSE_PENSION_FEMALE = 14,
    TALVEK_CASHFLOWS_LUMP_SUM_MALE = 15,
    TALVEK_CASHFLOWS_LUMP_SUM_FEMALE = 16,
    TALVEK_CASHFLOWS_BRIDGE_PENSION_MALE = 17, /* members and surviving husbands */
    TALVEK_CASHFLOWS_BRIDGE_PENSION_FEMALE = 18
};

/* ------------------------------------------------------------------------
 * Assumption arrays. Element 0 carries no meaning except where said; tables
 * keyed by age or year start at element 1. Every array must hold at least
 * its _SIZE elements. */

/* base_mortality and mortality_improvement: q(x) and its yearly improvement,
 * men at element x (x = 1..119), women at element x + 121. */
#define TALVEK_MORTALITY_SIZE 241
#define TALVEK_MORTALITY_OLDEST_AGE 119
#define TALVEK_MORTALITY_FEMALE_OFFSET 121

/* column_map (int16_t): element k is the column (1..20) of field k. */
#define TALVEK_COLUMN_MAP_SIZE 21
#define TALVEK_MAP_COLUMNS 20
enum TalvekMemberField {
    TALVEK_FIELD_MEMBER_NUMBER = 1,
    TALVEK_FIELD_STATUS_CODE = 2,
    TALVEK_FIELD_AGE = 3,
    TALVEK_FIELD_SEX = 4,
    TALVEK_FIELD_ANNUAL_SALARY = 5,
    TALVEK_FIELD_SERVICE_WITH_GUARANTEE = 6,    /* weeks */
    TALVEK_FIELD_SERVICE_WITHOUT_GUARANTEE = 7, /* weeks */
    TALVEK_FIELD_CURRENT_PENSION = 8,
    TALVEK_FIELD_MARITAL_STATUS = 9,
    TALVEK_FIELD_SPOUSE_AGE = 10,
    TALVEK_FIELD_YEARS_RETIRED = 11,
    TALVEK_FIELD_BRIDGE_PENSION = 12,
    TALVEK_FIELD_GUARANTEED_FRACTION = 13,
    TALVEK_FIELD_AVERAGE_SALARY = 14
};
#define TALVEK_MEMBER_FIELDS 14

/* status_codes (pointers to NUL-terminated texts): element k is the code of
 * member status k as written in the member file; 1..5 are compared. */
#define TALVEK_STATUS_CODES_SIZE 10
enum TalvekMemberStatus {
    TALVEK_MEMBER_IN_SERVICE = 1,
    TALVEK_MEMBER_PENSIONER = 2,
    TALVEK_MEMBER_DISABLED = 3,
    TALVEK_MEMBER_DEFERRED = 4,
    TALVEK_MEMBER_SURVIVING_SPOUSE = 5
};
#define TALVEK_MEMBER_STATUSES 5

/* plan_parameters; where an integer is needed the value is truncated. */
#define TALVEK_PLAN_SIZE 16
enum TalvekPlanParameter {
    TALVEK_PLAN_MEMBER_RATE_UP_TO_CEILING = 1,   /* contribution rates, 1 and 3 added */
    TALVEK_PLAN_MEMBER_RATE_ABOVE_CEILING = 2,   /* 2 and 4 added */
    TALVEK_PLAN_EMPLOYER_RATE_UP_TO_CEILING = 3,
    TALVEK_PLAN_EMPLOYER_RATE_ABOVE_CEILING = 4,
    TALVEK_PLAN_AVERAGING_YEARS = 5,     /* years of the final average; at most 59 past years */
    TALVEK_PLAN_LOWER_ACCRUAL_RATE = 6,  /* per year, salary up to the average ceiling */
    TALVEK_PLAN_UPPER_ACCRUAL_RATE = 7,  /* per year, salary above it */
    TALVEK_PLAN_BRIDGE_RATE = 8,         /* per year of service, share of the average ceiling */
    TALVEK_PLAN_INDEXATION_SHARE = 9,    /* share of inflation granted as indexation */
    TALVEK_PLAN_SPOUSE_FRACTION = 12,    /* share of the pension paid to a surviving spouse */
    TALVEK_PLAN_GUARANTEE_PERIOD = 13,   /* years paid whether the pensioner lives or not */
    TALVEK_PLAN_BRIDGE_START_AGE = 14,
    TALVEK_PLAN_BRIDGE_END_AGE = 15
};

/* retirement_factors: the first and last retirement age, then rows 1..10 of
 * 22 elements from element 22k: the row's service bound, then a factor per
 * retirement age from the first. */
#define TALVEK_RETIREMENT_FACTORS_SIZE 242
#define TALVEK_FACTORS_FIRST_AGE 1
#define TALVEK_FACTORS_LAST_AGE 21
#define TALVEK_FACTORS_ROW_STRIDE 22
#define TALVEK_FACTORS_ROWS 10
#define TALVEK_FACTORS_AGES 21

/* demographic_parameters */
#define TALVEK_DEMOGRAPHIC_SIZE 6
enum TalvekDemographicParameter {
    TALVEK_DEMOGRAPHIC_DISABLEMENT_LOADING = 1,   /* multiplies every disablement rate */
    TALVEK_DEMOGRAPHIC_DISABLED_AGE_ADDITION = 2, /* years added to a disabled life's age */
    TALVEK_DEMOGRAPHIC_TRANSFER_SHARE = 3,        /* share of leavers taking a transfer value */
    TALVEK_DEMOGRAPHIC_SPOUSE_AGE_DIFFERENCE = 4, /* a man's spouse younger, a woman's older */
    TALVEK_DEMOGRAPHIC_DEFERRED_RETIREMENT_AGE = 5 /* 0: by the retirement rates */
};

/* economic_parameters */
#define TALVEK_ECONOMIC_SIZE 20
enum TalvekEconomicParameter {
    TALVEK_ECONOMIC_CARRY_BACK_RATE = 3, /* carries salaries and the ceiling into past years */
    TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10 = 11,
    TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110 = 12,
    TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_1_TO_10 = 15,
    TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_11_TO_110 = 16,
    TALVEK_ECONOMIC_SALARY_CEILING = 19 /* in the valuation year */
};

/* The by-age tables: element 1 the first age, a later element the last age,
 * the values from a fixed element on (the value of the first age first). */
#define TALVEK_RATES_FIRST_AGE 1
#define TALVEK_RETIREMENT_RATES_SIZE 54
#define TALVEK_RETIREMENT_RATES_LAST_AGE 26
#define TALVEK_RETIREMENT_RATES_FIRST_VALUE 28
#define TALVEK_DISABILITY_RATES_SIZE 94
#define TALVEK_DISABILITY_RATES_LAST_AGE 46
#define TALVEK_DISABILITY_RATES_FIRST_VALUE 48
#define TALVEK_WITHDRAWAL_RATES_SIZE 64
#define TALVEK_WITHDRAWAL_RATES_LAST_AGE 31
#define TALVEK_WITHDRAWAL_RATES_FIRST_VALUE 33
#define TALVEK_SALARY_SCALE_SIZE 94
#define TALVEK_SALARY_SCALE_LAST_AGE 46
#define TALVEK_SALARY_SCALE_FIRST_VALUE 48
#define TALVEK_SALARY_SCALE_LAST_VALUE 93 /* read for every age above the last */

/* yearly_rates: two rows of 111 years; year t of a row at row + t. */
#define TALVEK_YEARLY_RATES_SIZE 222
#define TALVEK_YEARLY_INFLATION 0        /* the first row */
#define TALVEK_YEARLY_SALARY_GROWTH 111  /* the second row: real salary growth */

/* ------------------------------------------------------------------------
 * The run. */

/* The member file is cut into pieces of this many bytes, each moved to
 * start right after a line feed; the results are the pieces' results added
 * in file order. */
#define TALVEK_PIECE_BYTES 65536

/* What talvek_run returns, and results->status. */
enum TalvekStatus {
    TALVEK_OK = 0,                /* every line of the member file was read */
    TALVEK_STOPPED = 1,           /* the progress callback stopped the run */
    TALVEK_ERROR_ARGUMENT = 2,    /* the definition is incomplete or out of range */
    TALVEK_ERROR_MEMBER_FILE = 3, /* the member file cannot be opened or read */
    TALVEK_ERROR_REPORT = 4,      /* the listing or the error log cannot be written */
    TALVEK_ERROR_MEMORY = 5       /* the run could not get the memory it needs */
};

/* The assumptions, each a pointer to an array of at least its _SIZE
 * elements, read only. */
typedef struct TalvekAssumptions {
    int32_t valuation_year;      /* calendar year of the valuation date */
    int32_t mortality_base_year; /* calendar year of base_mortality */
    int32_t delimiter_code;      /* 1 tab, 2 comma, 3 semicolon, 4 space; other: the digit 0 */
    int32_t reserved;            /* 0 */
    const double *base_mortality;        /* TALVEK_MORTALITY_SIZE */
    const double *mortality_improvement; /* TALVEK_MORTALITY_SIZE */
    const int16_t *column_map;           /* TALVEK_COLUMN_MAP_SIZE */
    const char *const *status_codes;     /* TALVEK_STATUS_CODES_SIZE */
    const double *plan_parameters;       /* TALVEK_PLAN_SIZE */
    const double *retirement_factors;    /* TALVEK_RETIREMENT_FACTORS_SIZE */
    const double *demographic_parameters; /* TALVEK_DEMOGRAPHIC_SIZE */
    const double *economic_parameters;   /* TALVEK_ECONOMIC_SIZE */
    const double *retirement_rates;      /* TALVEK_RETIREMENT_RATES_SIZE */
    const double *disability_rates;      /* TALVEK_DISABILITY_RATES_SIZE */
    const double *withdrawal_rates;      /* TALVEK_WITHDRAWAL_RATES_SIZE */
    const double *salary_scale;          /* TALVEK_SALARY_SCALE_SIZE */
    const double *yearly_rates;          /* TALVEK_YEARLY_RATES_SIZE */
} TalvekAssumptions;

/* Asked on the calling thread while the run reads members, with the members
 * done so far and the total of the definition; a non-zero return stops the
 * run, which then keeps exactly the lines before the stop. With one job it
 * is asked before the line read whenever the members done reach a multiple
 * of 1000 (0 included), and whenever the lines read, rejected or not, reach
 * a multiple of 1000; with more jobs about every 50 ms and whenever a piece
 * is joined. */
typedef int32_t (*TalvekProgressFn)(void *user, int64_t members_done, int64_t member_total);

/* ---- A run shared with other processes ----
 * One run (talvek_run or talvek_value, every sensitivity's rerun included)
 * may have its pieces valued by several processes, on one machine or many:
 * each process values the pieces `owns` gives it, and one of them, the
 * joining process, takes the image of every other piece and joins it exactly
 * where it would have joined its own, in file order, so that the results
 * are the same bytes as one process's whatever the share. The others call
 * talvek_value_pieces on the same definition, which hands the image of each
 * of their pieces to `give`, run after run, in file order. An image is an
 * opaque block of bytes that a build of the same version on a machine of the
 * same byte order reads; the joining process refuses any other. */

/* Run 0 is the definition's own; run k the rerun of the k-th sensitivity
 * that is not a discount one (those revalue run 0 and run nothing). */
typedef struct TalvekPieceExchange {
    void *user; /* handed to every function as it is */
    /* Non-zero when this process values piece `piece` (from 0) of the member
     * file in run `run`. Asked in file order within a run, runs in order,
     * and asked again of a piece already asked, from any of the run's
     * threads; it must answer a piece of a run the same way every time.
     * The answer may differ from run to run, and may be settled only when
     * first asked (a process that takes more pieces as it finishes others). */
    int32_t (*owns)(void *user, int32_t run, int64_t piece);
    /* The joining process: the image of piece `piece` of run `run`, which it
     * does not own, asked when the run comes to join it. Returns TALVEK_OK
     * with *image and *size set (the bytes stay the caller's until the next
     * call), or a TalvekStatus with a message of at most message_size bytes,
     * that the run then ends with. */
    int32_t (*take)(void *user, int32_t run, int64_t piece, const void **image, int64_t *size, char *message,
                    int64_t message_size);
    /* talvek_value_pieces: the image of piece `piece` of run `run`, which
     * this process owns, in file order. A non-zero return stops the run. */
    int32_t (*give)(void *user, int32_t run, int64_t piece, const void *image, int64_t size);
} TalvekPieceExchange;

typedef struct TalvekRunDef {
    uint32_t struct_size; /* sizeof(TalvekRunDef): set by talvek_default_run_def */
    uint32_t version;     /* TALVEK_ENGINE_VERSION: set by talvek_default_run_def */

    /* The member file: a path, or member_byte_count bytes at member_bytes
     * (used when member_bytes is not null; the run reads them in place). */
    const char *member_file;
    const char *member_bytes;
    int64_t member_byte_count;

    /* The member listing and the error log: a path each, or null for none. */
    const char *listing_file;
    const char *error_file;

    TalvekAssumptions assumptions;

    int32_t jobs;          /* threads; 0 (the default): one per core of the machine */
    int32_t reserved_int;  /* 0 */
    int64_t member_total;  /* the progress callback's total; 0: the line reads of the file */
    TalvekProgressFn progress; /* null: never asked */
    void *progress_user;       /* handed to progress as it is */

    /* Service after the valuation date (version 2). With
     * limit_future_service = 1 every amount that grows with the service
     * completed after the valuation date counts at most future_service_years
     * of it: the fixed part of the accrued pension of an exit in year U counts
     * min(U - 0.5, k) years, the bridge of a retirement from service min(U, k)
     * years inside its 10-year cap, the service a leaver takes into deferment
     * min(U - 1, k) years. Salaries, ceilings, decrements, retirement factors
     * and service bands stay as projected. 0 (the default): all of it. */
    int32_t limit_future_service;
    int32_t valuation_options;   /* TalvekValuationOption bits, read by talvek_value only */
    double future_service_years; /* k, at least 0 */

    /* The discount curve of the present values (talvek_value only). */
    int32_t discount_curve_kind;  /* TalvekCurveKind; 0: the basis's two discount rates */
    int32_t sensitivity_count;    /* 0 .. TALVEK_MAX_SENSITIVITIES */
    const double *discount_curve; /* TALVEK_CURVE_SIZE elements for the yearly kinds, else null */
    const struct TalvekSensitivity *sensitivities; /* sensitivity_count of them */

    /* Pieces of the member file valued by other processes (version 4);
     * null: every piece is valued here. */
    const struct TalvekPieceExchange *piece_exchange;

    /* Room for options of later versions; must stay 0 (a run refuses a
     * definition whose reserved fields are not 0). */
    uint64_t reserved[15];
} TalvekRunDef;

/* The counters and the three result arrays of one run. talvek_run fills
 * every field (results are not added to what the struct held). */
typedef struct TalvekResults {
    int32_t status;       /* as returned */
    int32_t stopped;      /* 1 when the progress callback stopped the run */
    char message[512];    /* what went wrong, with the file and the system's reason; "" when OK */
    int64_t line_reads;   /* lines read (at most 499 bytes each), every one listed */
    int64_t members_done; /* lines read without a field error (valued or of unknown status) */
    int64_t error_count;  /* field errors in the error log */
    int64_t unknown_statuses; /* members whose status matched no code (logged, not counted above) */
    int64_t reserved[8];  /* 0 */
    double member_counts[TALVEK_MEMBER_COUNTS_SIZE];
    double decrement_counts[TALVEK_DECREMENT_COUNTS_SIZE];
    double benefit_cashflows[TALVEK_BENEFIT_CASHFLOWS_SIZE];
} TalvekResults;

/* ------------------------------------------------------------------------
 * The valuation (version 2): present values at the valuation date, the
 * defined benefit obligation and the service cost on the projected unit
 * credit method, by status and in total, per member and under
 * sensitivities. See docs/valuation-results.md for every formula.
 *
 * Timing: every amount of projection year t is discounted from t - 0.5, with
 * the factor inside a year taken at a constant forward rate:
 *   v(t - 0.5) = v(t - 1) x sqrt(v(t) / v(t - 1)).
 * Present value PV = sum over t = 1..110 of CF(t) v(t - 0.5); Macaulay
 * duration = sum of (t - 0.5) CF(t) v(t - 0.5) / PV (0 when PV is 0). */

#define TALVEK_CURVE_SIZE 111 /* element t: year or term t, t = 1..110; element 0 unused */

enum TalvekCurveKind {
    TALVEK_CURVE_BASIS = 0,         /* economic_parameters 11 (years 1-10) and 12 (years 11-110):
                                     * v(t) = v(t - 1) / (1 + rate of year t), v(0) = 1 */
    TALVEK_CURVE_FORWARD_RATES = 1, /* curve[t] the rate of year t: v(t) = v(t - 1) / (1 + curve[t]) */
    TALVEK_CURVE_SPOT_RATES = 2     /* curve[t] the annual spot rate of term t: v(t) = (1 + curve[t])^-t */
};

enum TalvekValuationOption {
    TALVEK_VALUE_PER_MEMBER = 1 /* one row of figures per member valued, in file order */
};

enum TalvekSensitivityKind {
    TALVEK_SENSITIVITY_DISCOUNT = 1,      /* size added to every discount rate (present values only) */
    TALVEK_SENSITIVITY_INFLATION = 2,     /* size added to the first row of yearly_rates (years
                                           * 1..110) and to economic_parameters 15 and 16 */
    TALVEK_SENSITIVITY_SALARY_GROWTH = 3, /* size added to the second row of yearly_rates */
    TALVEK_SENSITIVITY_MORTALITY = 4      /* base_mortality rates times size, at most 1 */
};
#define TALVEK_MAX_SENSITIVITIES 16

typedef struct TalvekSensitivity {
    int32_t kind;     /* TalvekSensitivityKind */
    int32_t reserved; /* 0 */
    double size;      /* 0.005 for +0.5 %; a factor for mortality (0.9) */
} TalvekSensitivity;

/* The present values of one group of members (all, or one status). */
typedef struct TalvekPresentValues {
    double cashflows[TALVEK_CASHFLOW_BLOCKS]; /* of each block of benefit_cashflows; [0] is 0 */
    double benefits;               /* PVFB: blocks 3..18, every pension, bridge and lump sum */
    double contributions;          /* blocks 1 and 2 */
    double obligation;             /* DBO: benefits counting no service after the valuation date */
    double service_cost;           /* benefits counting one year of it, less the obligation */
    double benefits_duration;      /* Macaulay duration of benefits, years */
    double contributions_duration; /* of contributions */
    double obligation_duration;    /* of the obligation */
    double reserved[3];
} TalvekPresentValues;

/* The three result arrays of the members of one status. */
typedef struct TalvekStatusArrays {
    double member_counts[TALVEK_MEMBER_COUNTS_SIZE];
    double decrement_counts[TALVEK_DECREMENT_COUNTS_SIZE];
    double benefit_cashflows[TALVEK_BENEFIT_CASHFLOWS_SIZE];
} TalvekStatusArrays;

/* One member's figures (TALVEK_VALUE_PER_MEMBER). */
typedef struct TalvekMemberValues {
    int64_t line;           /* the line read of the member, from 1, as the listing counts them */
    char member_number[16]; /* as read, NUL-terminated */
    int32_t status;         /* 1..5 */
    int32_t age;
    char sex;               /* as read */
    char reserved[7];
    double benefits;        /* PVFB */
    double contributions;   /* present value of contributions */
    double obligation;      /* DBO */
    double service_cost;
    double duration;        /* Macaulay duration of benefits */
} TalvekMemberValues;

typedef struct TalvekSensitivityResult {
    TalvekSensitivity sensitivity;
    /* [0] every member, [s] status s */
    TalvekPresentValues present_values[TALVEK_MEMBER_STATUSES + 1];
} TalvekSensitivityResult;

/* Everything talvek_value gives beside the results. [0] is every member,
 * [s] the members of status s, in each array of TALVEK_MEMBER_STATUSES + 1. */
typedef struct TalvekValuation {
    double discount_factors[TALVEK_CURVE_SIZE]; /* v(t), t = 0..110 */
    double mid_year_factors[TALVEK_CURVE_SIZE]; /* v(t - 0.5), t = 1..110; [0] 0 */
    TalvekPresentValues present_values[TALVEK_MEMBER_STATUSES + 1];
    TalvekStatusArrays by_status[TALVEK_MEMBER_STATUSES + 1];
    /* benefit cash flows counting no service after the valuation date (the
     * obligation's) and one year of it (the obligation plus the service
     * cost's); blocks 1 and 2 (contributions) as projected */
    double accrued_cashflows[TALVEK_MEMBER_STATUSES + 1][TALVEK_BENEFIT_CASHFLOWS_SIZE];
    double one_year_cashflows[TALVEK_MEMBER_STATUSES + 1][TALVEK_BENEFIT_CASHFLOWS_SIZE];
    int32_t sensitivity_count;
    int32_t reserved_int;
    TalvekSensitivityResult sensitivities[TALVEK_MAX_SENSITIVITIES];
    int64_t member_count;        /* rows at members */
    TalvekMemberValues *members; /* allocated by the engine: talvek_release_valuation frees it */
    uint64_t reserved[8];
} TalvekValuation;

/* ---- Economic scenarios ----
 * A scenario puts its own economic vectors in place of the basis's: both rows
 * of yearly_rates (inflation and real salary growth, years 0..110), and where
 * the set gives them, the four rates of the transfer-value annuity table
 * (economic_parameters 11, 12, 15 and 16) and the discount curve of the
 * present values. Scenario k's figures are the same bytes as talvek_value's
 * on the definition with scenario k's vectors in place of the basis's. Head
 * counts and decrements do not depend on the economic vectors: they are the
 * same in every scenario. */

#define TALVEK_ANNUITY_RATES 4
enum TalvekAnnuityRate {
    TALVEK_ANNUITY_DISCOUNT_YEARS_1_TO_10 = 0,    /* economic_parameters 11 */
    TALVEK_ANNUITY_DISCOUNT_YEARS_11_TO_110 = 1,  /* economic_parameters 12 */
    TALVEK_ANNUITY_INDEXATION_YEARS_1_TO_10 = 2,  /* economic_parameters 15 */
    TALVEK_ANNUITY_INDEXATION_YEARS_11_TO_110 = 3 /* economic_parameters 16 */
};

typedef struct TalvekScenarioSet {
    int32_t scenario_count; /* at least 1 */
    int32_t curve_kind;     /* TalvekCurveKind of discount_curves (forward or spot rates); 0 without them */
    const double *yearly_rates;    /* scenario_count x TALVEK_YEARLY_RATES_SIZE, scenario after scenario */
    const double *annuity_rates;   /* scenario_count x TALVEK_ANNUITY_RATES, or null: the basis's */
    const double *discount_curves; /* scenario_count x TALVEK_CURVE_SIZE, or null: the definition's curve
                                    * (on the scenario's annuity discount rates when that is the basis's) */
    uint64_t options;              /* TalvekScenarioOption flags, or 0 */
    uint64_t reserved[3];          /* 0 */
} TalvekScenarioSet;

/* TALVEK_SCENARIOS_FIGURES_ONLY: every scenario is valued in blocks, the
 * first too, and the run gives the scenarios' figures alone: no reports,
 * and the results hold only the status, the message and the stop. A
 * caller that shares a set among processes values its other parts so,
 * each scenario's figures the same bytes as in a whole set's run. */
enum TalvekScenarioOption { TALVEK_SCENARIOS_FIGURES_ONLY = 1 };

/* The distribution of a figure over the scenarios: the mean, then the
 * percentiles, each interpolated linearly between the two nearest order
 * statistics: with the n values sorted x[0] <= .. <= x[n - 1] and
 * h = (n - 1) p, P(p) = x[floor h] + (h - floor h)(x[floor h + 1] - x[floor h]). */
#define TALVEK_DISTRIBUTION_SIZE 6
enum TalvekDistributionElement {
    TALVEK_DISTRIBUTION_MEAN = 0,
    TALVEK_DISTRIBUTION_P5 = 1,
    TALVEK_DISTRIBUTION_P25 = 2,
    TALVEK_DISTRIBUTION_P50 = 3,
    TALVEK_DISTRIBUTION_P75 = 4,
    TALVEK_DISTRIBUTION_P95 = 5
};

/* One scenario's present values: [0] every member, [s] status s. */
typedef struct TalvekScenarioValues {
    TalvekPresentValues present_values[TALVEK_MEMBER_STATUSES + 1];
} TalvekScenarioValues;

/* Everything talvek_value_scenarios gives beside the results. */
typedef struct TalvekScenarioResults {
    int64_t scenario_count;       /* scenarios valued: all of the set, or those before a stop or a failure */
    TalvekScenarioValues *values; /* scenario_count, in the set's order */
    double *cashflows;            /* scenario_count x TALVEK_BENEFIT_CASHFLOWS_SIZE: every member's
                                   * benefit cash flows under each scenario */
    /* of each element of benefit_cashflows over the scenarios valued */
    double distribution[TALVEK_DISTRIBUTION_SIZE][TALVEK_BENEFIT_CASHFLOWS_SIZE];
    uint64_t reserved[8];
} TalvekScenarioResults;

/* A definition with every field at its default: no member file, no reports,
 * null assumption arrays, jobs 0, no progress callback. */
TALVEK_API TalvekRunDef talvek_default_run_def(void);

/* Values every member of the member file. Returns a TalvekStatus; results
 * is filled in every case (all zero and a message when nothing was run). */
TALVEK_API int32_t talvek_run(const TalvekRunDef *def, TalvekResults *results);

/* Values every member as talvek_run does (results are the same bytes as
 * talvek_run's on the same definition) and fills valuation: the results by
 * status, the present values on the discount curve of def, the obligation
 * and the service cost, the per-member rows when asked, then one run per
 * sensitivity of def (every job each). The progress callback's total covers
 * all the runs. valuation->members must be released with
 * talvek_release_valuation, whatever the status. */
TALVEK_API int32_t talvek_value(const TalvekRunDef *def, TalvekResults *results, TalvekValuation *valuation);

/* Frees what talvek_value allocated in valuation (the per-member rows) and
 * sets the pointer to null; null and a released valuation are left alone. */
TALVEK_API void talvek_release_valuation(TalvekValuation *valuation);

/* Values every member under every scenario of set. results are the run of
 * the first scenario (its reports written, its counts those of every
 * scenario); scenarios holds each scenario's present values and benefit
 * cash flows, and their distribution. The definition may ask for neither
 * per-member rows nor sensitivities. The progress callback's total covers
 * every scenario. scenarios must be released with talvek_release_scenarios,
 * whatever the status. */
TALVEK_API int32_t talvek_value_scenarios(const TalvekRunDef *def, const TalvekScenarioSet *set,
                                          TalvekResults *results, TalvekScenarioResults *scenarios);

/* Frees what talvek_value_scenarios allocated and sets its pointers to null. */
TALVEK_API void talvek_release_scenarios(TalvekScenarioResults *scenarios);

/* The distribution of count values read stride elements apart (the mean and
 * the percentiles of TalvekDistributionElement) into out[TALVEK_DISTRIBUTION_SIZE];
 * all 0 when count is 0. The mean adds the values in their order. Returns
 * TALVEK_OK, or TALVEK_ERROR_MEMORY (out all NaN) when the values cannot be
 * sorted for want of memory. */
TALVEK_API int32_t talvek_distribution_of(const double *values, int64_t count, int64_t stride, double *out);

/* The pieces of a run shared with other processes: values the pieces of
 * def's member file that def->piece_exchange owns, in every run talvek_run
 * (of_valuation 0) or talvek_value (of_valuation 1) makes of def, and hands
 * each image to its give function. No report is written: the images of run
 * 0 carry their listing and error lines for the joining process to write.
 * results holds the status and message (its arrays and counters stay 0).
 * Stops at the first run that does not finish. */
TALVEK_API int32_t talvek_value_pieces(const TalvekRunDef *def, int32_t of_valuation, TalvekResults *results);

/* The number of pieces of def's member file, into *count. Returns TALVEK_OK
 * or TALVEK_ERROR_MEMBER_FILE (count 0). */
TALVEK_API int32_t talvek_count_pieces(const TalvekRunDef *def, int64_t *count);

/* The number of line reads of at most 199 bytes the member file of def
 * takes (the count the legacy CountInputData gives), into *count. Returns
 * TALVEK_OK or TALVEK_ERROR_MEMBER_FILE (count 0). */
TALVEK_API int32_t talvek_count_line_reads(const TalvekRunDef *def, int64_t *count);

/* A fixed English text for a status code. */
TALVEK_API const char *talvek_status_message(int32_t status);

/* The engine's version, as "major.minor.patch". */
TALVEK_API const char *talvek_version(void);

#ifdef __cplusplus
}
#endif

#endif
