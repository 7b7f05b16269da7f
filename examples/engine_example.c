/* Values a member file through the engine's C interface and prints a few
 * results. The plan is a small one written out here: Gompertz mortality, a
 * 1.5 % accrual, a 5-year guarantee, retirement between 60 and 65, 2 %
 * inflation; the member file is in the layout of examples/members.txt.
 *
 *   cc engine_example.c -I include -L build -ltalvek -o engine_example
 *   ./engine_example examples/members.txt */
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "talvek/engine.h"

static volatile sig_atomic_t interrupted = 0;
static void on_interrupt(int signal_number) { (void)signal_number; interrupted = 1; }

/* Asked while the run reads members: shows the progress, stops on Ctrl-C. */
static int32_t show_progress(void *user, int64_t members_done, int64_t member_total) {
    (void)user;
    fprintf(stderr, "\r%lld of %lld member lines", (long long)members_done, (long long)member_total);
    return interrupted ? 1 : 0;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s MEMBER_FILE\n", argv[0]);
        return 2;
    }
    static double base_mortality[TALVEK_MORTALITY_SIZE], mortality_improvement[TALVEK_MORTALITY_SIZE];
    static double plan[TALVEK_PLAN_SIZE], factors[TALVEK_RETIREMENT_FACTORS_SIZE];
    static double demographic[TALVEK_DEMOGRAPHIC_SIZE], economic[TALVEK_ECONOMIC_SIZE];
    static double retirement[TALVEK_RETIREMENT_RATES_SIZE], disability[TALVEK_DISABILITY_RATES_SIZE];
    static double withdrawal[TALVEK_WITHDRAWAL_RATES_SIZE], salary_scale[TALVEK_SALARY_SCALE_SIZE];
    static double yearly[TALVEK_YEARLY_RATES_SIZE];
    static int16_t columns[TALVEK_COLUMN_MAP_SIZE];
    const char *codes[TALVEK_STATUS_CODES_SIZE] = {"", "A", "P", "D", "V", "S", "", "", "", ""};

    for (int age = 1; age <= TALVEK_MORTALITY_OLDEST_AGE; ++age) {
        base_mortality[age] = fmin(1.0, 0.00005 * exp(0.095 * age));
        base_mortality[age + TALVEK_MORTALITY_FEMALE_OFFSET] = fmin(1.0, 0.00003 * exp(0.097 * age));
    }
    for (int field = 1; field <= TALVEK_MEMBER_FIELDS; ++field) columns[field] = (int16_t)field;
    plan[TALVEK_PLAN_MEMBER_RATE_UP_TO_CEILING] = 0.05;
    plan[TALVEK_PLAN_AVERAGING_YEARS] = 5;
    plan[TALVEK_PLAN_LOWER_ACCRUAL_RATE] = 0.015;
    plan[TALVEK_PLAN_UPPER_ACCRUAL_RATE] = 0.018;
    plan[TALVEK_PLAN_INDEXATION_SHARE] = 0.75;
    plan[TALVEK_PLAN_SPOUSE_FRACTION] = 0.6;
    plan[TALVEK_PLAN_GUARANTEE_PERIOD] = 5;
    factors[TALVEK_FACTORS_FIRST_AGE] = 60;
    factors[TALVEK_FACTORS_LAST_AGE] = 65;
    for (int row = 1; row <= TALVEK_FACTORS_ROWS; ++row) {
        factors[TALVEK_FACTORS_ROW_STRIDE * row] = 5.0 * (row - 1); /* the row's service bound */
        for (int column = 1; column <= 6; ++column)
            factors[TALVEK_FACTORS_ROW_STRIDE * row + column] = 0.85 + 0.03 * (column - 1);
    }
    demographic[TALVEK_DEMOGRAPHIC_DISABLEMENT_LOADING] = 1.0;
    demographic[TALVEK_DEMOGRAPHIC_SPOUSE_AGE_DIFFERENCE] = 3;
    economic[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10] = 0.03;
    economic[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110] = 0.03;
    economic[TALVEK_ECONOMIC_SALARY_CEILING] = 60000;
    retirement[TALVEK_RATES_FIRST_AGE] = 60;
    retirement[TALVEK_RETIREMENT_RATES_LAST_AGE] = 65;
    for (int age = 60; age < 65; ++age) retirement[TALVEK_RETIREMENT_RATES_FIRST_VALUE + age - 60] = 0.2;
    withdrawal[TALVEK_RATES_FIRST_AGE] = 20;
    withdrawal[TALVEK_WITHDRAWAL_RATES_LAST_AGE] = 50;
    for (int age = 20; age < 50; ++age) withdrawal[TALVEK_WITHDRAWAL_RATES_FIRST_VALUE + age - 20] = 0.05;
    disability[TALVEK_RATES_FIRST_AGE] = 20;
    disability[TALVEK_DISABILITY_RATES_LAST_AGE] = 65;
    salary_scale[TALVEK_RATES_FIRST_AGE] = 20;
    salary_scale[TALVEK_SALARY_SCALE_LAST_AGE] = 65;
    for (int year = 0; year < TALVEK_YEAR_SLOTS; ++year) yearly[TALVEK_YEARLY_INFLATION + year] = 0.02;

    TalvekRunDef def = talvek_default_run_def();
    def.member_file = argv[1];
    def.listing_file = "member_listing.txt";
    def.error_file = "errors.txt";
    def.progress = show_progress;
    TalvekAssumptions *a = &def.assumptions;
    a->valuation_year = 2025;
    a->mortality_base_year = 2025;
    a->delimiter_code = 2; /* comma */
    a->base_mortality = base_mortality;
    a->mortality_improvement = mortality_improvement;
    a->column_map = columns;
    a->status_codes = codes;
    a->plan_parameters = plan;
    a->retirement_factors = factors;
    a->demographic_parameters = demographic;
    a->economic_parameters = economic;
    a->retirement_rates = retirement;
    a->disability_rates = disability;
    a->withdrawal_rates = withdrawal;
    a->salary_scale = salary_scale;
    a->yearly_rates = yearly;

    signal(SIGINT, on_interrupt);
    /* the run with its present values: about 51 KB and 540 KB, not on the stack */
    TalvekResults *results = malloc(sizeof *results);
    TalvekValuation *valuation = malloc(sizeof *valuation);
    if (results == NULL || valuation == NULL) return 1;
    const int32_t status = talvek_value(&def, results, valuation);
    fprintf(stderr, "\n");
    if (status != TALVEK_OK && status != TALVEK_STOPPED) {
        fprintf(stderr, "%s: %s\n", talvek_status_message(status), results->message);
        talvek_release_valuation(valuation);
        free(valuation);
        free(results);
        return 1;
    }
    printf("%s: %lld lines, %lld members, %lld field errors\n", talvek_status_message(status),
           (long long)results->line_reads, (long long)results->members_done, (long long)results->error_count);
    for (int year = 1; year <= 3; ++year) {
        printf("year %d: %.1f in service, pensions from service %.2f\n", year,
               results->member_counts[TALVEK_ELEMENT(TALVEK_MEMBERS_ACTIVE_MALE, year)] +
                   results->member_counts[TALVEK_ELEMENT(TALVEK_MEMBERS_ACTIVE_FEMALE, year)],
               results->benefit_cashflows[TALVEK_ELEMENT(TALVEK_CASHFLOWS_SERVICE_PENSION_MALE, year)] +
                   results->benefit_cashflows[TALVEK_ELEMENT(TALVEK_CASHFLOWS_SERVICE_PENSION_FEMALE, year)]);
    }
    const TalvekPresentValues *all = &valuation->present_values[0];
    printf("benefits %.0f, obligation %.0f, service cost %.0f, duration %.1f years\n", all->benefits,
           all->obligation, all->service_cost, all->benefits_duration);
    talvek_release_valuation(valuation);
    free(valuation);
    free(results);
    return status == TALVEK_OK ? 0 : 130;
}
