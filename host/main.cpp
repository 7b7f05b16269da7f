// talvek: values a pension plan's members with the Talvek Pension Model.
#include <CLI/CLI.hpp>

#include "cluster.h"
#include "commands.h"
#include "scenario_generator.h"

namespace {

const char *const kExitStatusHelp =
    "Exit status:\n"
    "  0    every line of the member file was valued\n"
    "  3    the run finished, but lines were rejected or had an unknown status (results\n"
    "       written; the summary and errors.txt say how many)\n"
    "  2    nothing was valued: the command, the basis or the member file was refused (errors\n"
    "       of the member data check included, unless --accept-as-read; a discount curve\n"
    "       the valuation cannot use), or another run is writing the same --out\n"
    "  1    a failure of the machine (a file could not be written or read, disk full,\n"
    "       permissions) or the member file changed during the run: the message names\n"
    "       the file and the reason, and earlier results are untouched\n"
    "  130  stopped by Ctrl-C, 143 stopped by SIGTERM: the results of the lines before\n"
    "       the stop are written, marked as stopped (run.json \"complete\": false)";

int runCommand(int argc, char **argv);

} // namespace

int main(int argc, char **argv) {
    // under mpirun, the ranks other than 0 serve rank 0's run
    const int rank = startRanks(&argc, &argv);
    if (rank != 0) return serveRank();
    const int status = runCommand(argc, argv);
    endRanks();
    return status;
}

namespace {

int runCommand(int argc, char **argv) {
    CLI::App app{"talvek: projects a pension plan's members year by year (people, events and "
                 "cash flows over 110 years) from a basis file and a member file."};
    app.require_subcommand(1);
    app.footer(std::string("Example:\n"
                           "  talvek run --basis examples/basis.toml --members examples/members.txt --out results\n"
                           "Run 'talvek COMMAND --help' for the options of a command.\n\n") +
               kExitStatusHelp);

    RunOptions runOptions;
    CLI::App *run = app.add_subcommand(
        "run", "Read and check the basis, check the member file as talvek check does (with errors "
               "nothing is valued), value every member and write the results: member_counts.csv, "
               "decrement_counts.csv, benefit_cashflows.csv, the same by status, present_values.csv (present "
               "values, obligation, service cost and durations by status, docs/valuation-results.md), "
               "discount_factors.csv, the member listing, the error log, "
               "data_summary.csv, data_check.csv and run.json (the run's record), and the data summary and "
               "a summary of the results on the terminal. The results are written into a temporary folder "
               "beside --out and put in its place whole once all is written; a failed run leaves the "
               "earlier results untouched. Ctrl-C or SIGTERM stops the run: the results of the lines "
               "before the stop are written, marked as stopped.");
    run->add_option("--basis", runOptions.basisFile, "Basis file (TOML), see docs/basis-file.md")
        ->required();
    run->add_option("--members", runOptions.memberFile, "Member file, one member per line")->required();
    run->add_option("--out", runOptions.outputDirectory,
                    "Folder for the results, replaced whole by each run; an existing folder must be "
                    "one of talvek's (it holds run.json) and may not hold the member or basis file")
        ->capture_default_str();
    run->add_flag("--force", runOptions.force,
                  "Replace an existing --out folder even though it holds no run.json");
    run->add_option("--jobs", runOptions.jobs,
                    "Threads that value the member file's pieces (default: one per core); the "
                    "results are the same bytes for any number of jobs")
        ->check(CLI::Range(1, 256));
    run->add_flag("--accept-as-read", runOptions.acceptAsRead,
                  "Value lines whose fields the check finds misreadable as the library reads them, "
                  "instead of valuing nothing (the errors are still listed and written to data_check.csv)");
    run->add_flag("--no-check", runOptions.noCheck,
                  "Hand the member file to the valuation as it is, without the check, the data summary or "
                  "a conversion (only for a file in the library's layout without a header row)");
    run->add_flag("--per-member", runOptions.perMember,
                  "Also write per_member.csv: each member's present value of benefits and of contributions, "
                  "obligation, service cost and duration, in file order");
    run->add_flag("--sensitivities", runOptions.sensitivities,
                  "Also value the basis's sensitivities ([sensitivities], by default discount rate, inflation "
                  "and salary growth -0.5 % and +0.5 %, mortality x 0.9 and x 1.1) and write sensitivities.csv");
    run->add_flag("--no-present-values", runOptions.noPresentValues,
                  "Project only: write today's three result files without the present values, the results "
                  "by status or the discount factors");
    run->get_option("--no-present-values")->excludes("--per-member")->excludes("--sensitivities");
    run->add_option("--scenarios", runOptions.scenarioFile,
                    "Value every member under every economic scenario of this file (docs/scenario-file.md) and "
                    "write scenario_present_values.csv and scenario_cashflow_distribution.csv; the counts and "
                    "the three result files are the first scenario's. Not with --per-member, --sensitivities "
                    "or --no-present-values");
    run->add_flag("--scenario-cashflows", runOptions.scenarioCashflows,
                  "With --scenarios, also write scenario_cashflows.csv: every scenario's benefit cash flows")
        ->needs("--scenarios");
    run->footer(std::string("Example:\n"
                            "  talvek run --basis examples/basis.toml --members examples/members.txt --out results\n"
                            "  talvek run --per-member --sensitivities --basis examples/basis.toml "
                            "--members examples/members.txt --out results\n"
                            "  talvek run --scenarios examples/scenarios.csv --basis examples/basis.toml "
                            "--members examples/members.txt --out results\n\n") +
                kExitStatusHelp);

    CheckOptions checkOptions;
    CLI::App *check = app.add_subcommand(
        "check", "Check the member file against the basis's [member_file] without valuing: every field "
                 "strictly (a number the valuation would read as another number is an error), the layout of "
                 "every line, the plausibility of every member (warnings), then the data summary by status. "
                 "Exit status 0 without errors, 2 with errors (talvek run would value nothing).");
    check->add_option("--basis", checkOptions.basisFile, "Basis file (TOML), see docs/basis-file.md")->required();
    check->add_option("--members", checkOptions.memberFile, "Member file")->required();
    check->add_option("--out", checkOptions.outputDirectory,
                      "Directory for data_check.csv (every error and warning) and data_summary.csv");
    check->footer("Example:\n"
                  "  talvek check --basis examples/basis.toml --members examples/members.txt --out data");

    std::string countFile;
    CLI::App *count = app.add_subcommand(
        "count", "Print the number of lines of a member file, as the valuation counts them.");
    count->add_option("FILE", countFile, "Member file")->required();
    count->footer("Example:\n  talvek count examples/members.txt");

    int64_t members = 0;
    uint64_t seed = 1;
    std::string generatedFile;
    CLI::App *generate = app.add_subcommand(
        "generate", "Write a made-up member file of all five statuses in the layout of "
                    "examples/basis.toml; the same seed always gives the same file.");
    generate->add_option("--members", members, "Number of members")
        ->required()
        ->check(CLI::Range(int64_t(0), int64_t(100000000)));
    generate->add_option("--seed", seed, "Seed of the random numbers")->capture_default_str();
    generate->add_option("--out", generatedFile, "File to write ('-' for the terminal)")->required();
    generate->footer("Example:\n  talvek generate --members 3000 --seed 2024 --out examples/members.txt");

    int64_t scenarioCount = 0;
    uint64_t scenarioSeed = 1;
    std::string scenarioModel = "mean-reverting";
    std::string scenarioBasis;
    std::string scenarioFile;
    CLI::App *scenarios = app.add_subcommand(
        "generate-scenarios", "Write an example set of economic scenarios (inflation, real salary growth and the "
                              "discount forward rate of years 0..110, docs/scenario-file.md) around the rates of "
                              "--basis, or of built-in levels; the same arguments always give the same file.");
    scenarios->add_option("--count", scenarioCount, "Number of scenarios")
        ->required()
        ->check(CLI::Range(int64_t(1), int64_t(1000000)));
    scenarios->add_option("--seed", scenarioSeed, "Seed of the random numbers")->capture_default_str();
    scenarios->add_option("--out", scenarioFile, "File to write (written whole or not at all)")->required();
    scenarios->add_option("--model", scenarioModel, "mean-reverting (each rate pulled back to its long-run level) "
                                                    "or lognormal (each year drawn afresh)")
        ->check(CLI::IsMember({"mean-reverting", "lognormal"}))
        ->capture_default_str();
    scenarios->add_option("--basis", scenarioBasis, "Basis file whose rates set the levels (TOML)");
    scenarios->footer("Example:\n  talvek generate-scenarios --count 20 --seed 2024 --basis examples/basis.toml "
                      "--out examples/scenarios.csv");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        // help is not an error; a wrong command line is refused like bad input
        return app.exit(error) == 0 ? kExitDone : kExitRefused;
    }
    if (run->parsed()) {
        runOptions.commandLine.assign(argv, argv + argc);
        return runValuationCommand(runOptions);
    }
    if (check->parsed()) return checkMembersCommand(checkOptions);
    if (count->parsed()) return countMembersCommand(countFile);
    if (scenarios->parsed())
        return generateScenariosCommand(scenarioCount, scenarioSeed, scenarioModel, scenarioBasis, scenarioFile);
    return generateMembersCommand(members, seed, generatedFile);
}

} // namespace
