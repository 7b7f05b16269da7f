// talvek over MPI ranks: rank 0 runs the command, and the work of a run is
// spread over every rank, so that the results are the same bytes for any
// number of ranks.
//
// A member file: the engine's fixed pieces are dealt out in runs of a few
// pieces, run c to rank c mod N; each rank values its own and hands the
// pieces' images back a run at a time, and rank 0 joins every piece in file
// order, its own and the others', as one process joins its pieces.
//
// A scenario set: in blocks of whole scenarios, in set order: rank r values
// scenarios first(r) .. first(r + 1) - 1. Each scenario's figures do not
// depend on the others, and rank 0 puts the blocks back in rank order and
// takes the distribution over all of them as one process would.
//
// Rank 0 reads the basis (and the scenario file) and hands each rank the
// definition; every rank reads the member file itself (a path all of them
// see), or the checked bytes rank 0 hands it.
#include <mpi.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "cluster.h"
#include "scenario_run.h"

namespace {

// What rank 0 broadcasts before a share of work.
constexpr int64_t kNoMoreWork = 0;
constexpr int64_t kScenarioShare = 1;
constexpr int64_t kPieceShare = 2;
constexpr int kFiguresTag = 1;
constexpr int kRoot = 0;

bool ranksReleased = false;

// The signal that asked this rank to stop, 0 while none has: mpirun hands
// Ctrl-C and SIGTERM on to every rank, and each stops at its next check.
volatile std::sig_atomic_t rankStopSignal = 0;
extern "C" void onRankStop(int signalNumber) { rankStopSignal = signalNumber; }
int32_t rankProgress(void *, int64_t, int64_t) { return rankStopSignal != 0 ? 1 : 0; }

int rankCount() {
    int size = 1;
    MPI_Comm_size(MPI_COMM_WORLD, &size);
    return size;
}

// The first scenario of rank r's block: the set cut into blocks whose sizes
// differ by at most one, over no more ranks than there are scenarios, so
// that rank 0 always values the first scenario (whose run gives the counts
// and the reports); a rank beyond them has an empty block.
int64_t firstScenarioOf(int64_t scenarios, int rank, int ranks) {
    const int64_t sharing = std::min<int64_t>(ranks, scenarios);
    if (rank >= sharing) return scenarios;
    return scenarios * rank / sharing;
}

// ---- the definition and the set, as bytes ----

struct Packer {
    std::vector<char> bytes;
    void put(const void *data, size_t size) {
        const char *from = static_cast<const char *>(data);
        bytes.insert(bytes.end(), from, from + size);
    }
    template <class T> void value(const T &v) { put(&v, sizeof v); }
    // an array of n elements, or a mark that there is none
    template <class T> void array(const T *data, int64_t n) {
        value<int64_t>(data == nullptr ? -1 : n);
        if (data != nullptr) put(data, static_cast<size_t>(n) * sizeof(T));
    }
    void text(const char *s) { array(s, s == nullptr ? 0 : static_cast<int64_t>(std::strlen(s)) + 1); }
};

struct Unpacker {
    const std::vector<char> &bytes;
    size_t at = 0;
    void get(void *data, size_t size) {
        if (size > bytes.size() - at) throw std::runtime_error("the work rank 0 sent is cut short");
        std::memcpy(data, bytes.data() + at, size);
        at += size;
    }
    template <class T> T value() {
        T v;
        get(&v, sizeof v);
        return v;
    }
    // into storage; null when rank 0 had none
    template <class T> const T *array(std::vector<T> &storage) {
        const auto n = value<int64_t>();
        if (n < 0) return nullptr;
        storage.resize(static_cast<size_t>(n));
        get(storage.data(), storage.size() * sizeof(T));
        return storage.data();
    }
};

// Every array a worker's definition points into.
struct WorkerShare {
    TalvekRunDef def;
    TalvekScenarioSet set;
    std::vector<char> memberFile, memberBytes;
    std::vector<double> mortality, improvement, plan, factors, demographic, economic, retirement, disability,
        withdrawal, salaryScale, yearly, curve, setYearly, setAnnuity, setCurves;
    std::vector<int16_t> columnMap;
    std::vector<TalvekSensitivity> sensitivities;
    std::vector<std::vector<char>> codes = std::vector<std::vector<char>>(TALVEK_STATUS_CODES_SIZE);
    std::vector<const char *> codePointers = std::vector<const char *>(TALVEK_STATUS_CODES_SIZE);
};

void packAssumptions(Packer &p, const TalvekAssumptions &a) {
    p.value(a.valuation_year);
    p.value(a.mortality_base_year);
    p.value(a.delimiter_code);
    p.array(a.base_mortality, TALVEK_MORTALITY_SIZE);
    p.array(a.mortality_improvement, TALVEK_MORTALITY_SIZE);
    p.array(a.column_map, TALVEK_COLUMN_MAP_SIZE);
    p.value<int32_t>(a.status_codes != nullptr);
    for (int i = 0; a.status_codes != nullptr && i < TALVEK_STATUS_CODES_SIZE; ++i) p.text(a.status_codes[i]);
    p.array(a.plan_parameters, TALVEK_PLAN_SIZE);
    p.array(a.retirement_factors, TALVEK_RETIREMENT_FACTORS_SIZE);
    p.array(a.demographic_parameters, TALVEK_DEMOGRAPHIC_SIZE);
    p.array(a.economic_parameters, TALVEK_ECONOMIC_SIZE);
    p.array(a.retirement_rates, TALVEK_RETIREMENT_RATES_SIZE);
    p.array(a.disability_rates, TALVEK_DISABILITY_RATES_SIZE);
    p.array(a.withdrawal_rates, TALVEK_WITHDRAWAL_RATES_SIZE);
    p.array(a.salary_scale, TALVEK_SALARY_SCALE_SIZE);
    p.array(a.yearly_rates, TALVEK_YEARLY_RATES_SIZE);
}

void unpackAssumptions(Unpacker &u, WorkerShare &w) {
    TalvekAssumptions &a = w.def.assumptions;
    a.valuation_year = u.value<int32_t>();
    a.mortality_base_year = u.value<int32_t>();
    a.delimiter_code = u.value<int32_t>();
    a.base_mortality = u.array(w.mortality);
    a.mortality_improvement = u.array(w.improvement);
    a.column_map = u.array(w.columnMap);
    a.status_codes = nullptr;
    if (u.value<int32_t>() != 0) {
        for (int i = 0; i < TALVEK_STATUS_CODES_SIZE; ++i) w.codePointers[i] = u.array(w.codes[i]);
        a.status_codes = w.codePointers.data();
    }
    a.plan_parameters = u.array(w.plan);
    a.retirement_factors = u.array(w.factors);
    a.demographic_parameters = u.array(w.demographic);
    a.economic_parameters = u.array(w.economic);
    a.retirement_rates = u.array(w.retirement);
    a.disability_rates = u.array(w.disability);
    a.withdrawal_rates = u.array(w.withdrawal);
    a.salary_scale = u.array(w.salaryScale);
    a.yearly_rates = u.array(w.yearly);
}

void packDefinition(Packer &p, const TalvekRunDef &def) {
    p.text(def.member_file);
    p.array(def.member_bytes, def.member_bytes == nullptr ? 0 : def.member_byte_count);
    p.value(def.jobs);
    p.value(def.member_total);
    p.value(def.limit_future_service);
    p.value(def.future_service_years);
    p.value(def.valuation_options);
    p.value(def.discount_curve_kind);
    p.array(def.discount_curve, TALVEK_CURVE_SIZE);
    p.array(def.sensitivities, def.sensitivity_count);
    packAssumptions(p, def.assumptions);
}

std::vector<char> packedShare(const TalvekRunDef &def, const TalvekScenarioSet &set) {
    Packer p;
    packDefinition(p, def);
    const int64_t n = set.scenario_count;
    p.value(set.scenario_count);
    p.value(set.curve_kind);
    p.array(set.yearly_rates, n * TALVEK_YEARLY_RATES_SIZE);
    p.array(set.annuity_rates, n * TALVEK_ANNUITY_RATES);
    p.array(set.discount_curves, n * TALVEK_CURVE_SIZE);
    return std::move(p.bytes);
}

// A worker's definition: rank 0's, without its reports (rank 0 writes
// them) and with this rank's own stop check.
void unpackDefinition(Unpacker &u, WorkerShare &w) {
    w.def = talvek_default_run_def();
    w.def.member_file = u.array(w.memberFile);
    w.def.member_bytes = u.array(w.memberBytes);
    w.def.member_byte_count = static_cast<int64_t>(w.memberBytes.size());
    w.def.jobs = u.value<int32_t>();
    w.def.member_total = u.value<int64_t>();
    w.def.limit_future_service = u.value<int32_t>();
    w.def.future_service_years = u.value<double>();
    w.def.valuation_options = u.value<int32_t>();
    w.def.discount_curve_kind = u.value<int32_t>();
    w.def.discount_curve = u.array(w.curve);
    w.def.sensitivities = u.array(w.sensitivities);
    w.def.sensitivity_count = w.def.sensitivities != nullptr ? static_cast<int32_t>(w.sensitivities.size()) : 0;
    unpackAssumptions(u, w);
    w.def.progress = rankProgress;
}

void unpackShare(const std::vector<char> &bytes, WorkerShare &w) {
    Unpacker u{bytes};
    unpackDefinition(u, w);
    w.set = TalvekScenarioSet{};
    w.set.scenario_count = u.value<int32_t>();
    w.set.curve_kind = u.value<int32_t>();
    w.set.yearly_rates = u.array(w.setYearly);
    w.set.annuity_rates = u.array(w.setAnnuity);
    w.set.discount_curves = u.array(w.setCurves);
}

// ---- bytes between ranks ----

// A rank that waits for another (rank 1 for rank 0 to take its pieces, rank
// 0 for a rank's next pieces, every rank for the next work) sleeps between
// looks rather than spinning, as MPI's own blocking calls do: with more
// ranks than cores, or beside other work, a spinning rank takes the core a
// rank with work needs. A look every 50 to 1000 microseconds adds nothing
// to a message of pieces that took milliseconds to value.
constexpr long kFirstNapNs = 50000;
constexpr long kLongestNapNs = 1000000;

void waitFor(MPI_Request &request) {
    long nap = kFirstNapNs;
    for (;;) {
        int done = 0;
        MPI_Test(&request, &done, MPI_STATUS_IGNORE);
        if (done != 0) return;
        const timespec pause{0, nap};
        nanosleep(&pause, nullptr);
        nap = std::min(nap * 2, kLongestNapNs);
    }
}

// MPI counts in int: large blocks go in parts of at most 1 GiB.
constexpr size_t kPartBytes = size_t{1} << 30;

void sendBytes(const void *data, size_t size, int to) {
    const char *from = static_cast<const char *>(data);
    for (size_t at = 0; at < size || at == 0; at += kPartBytes) {
        const size_t part = std::min(kPartBytes, size - at);
        MPI_Request request;
        MPI_Isend(from + at, static_cast<int>(part), MPI_BYTE, to, kFiguresTag, MPI_COMM_WORLD, &request);
        waitFor(request);
        if (size == 0) break;
    }
}

void receiveBytes(void *data, size_t size, int from) {
    char *into = static_cast<char *>(data);
    for (size_t at = 0; at < size || at == 0; at += kPartBytes) {
        const size_t part = std::min(kPartBytes, size - at);
        MPI_Request request;
        MPI_Irecv(into + at, static_cast<int>(part), MPI_BYTE, from, kFiguresTag, MPI_COMM_WORLD, &request);
        waitFor(request);
        if (size == 0) break;
    }
}

void broadcast(void *data, int count, MPI_Datatype type) {
    MPI_Request request;
    MPI_Ibcast(data, count, type, kRoot, MPI_COMM_WORLD, &request);
    waitFor(request);
}

void broadcastBytes(std::vector<char> &bytes) {
    int64_t size = static_cast<int64_t>(bytes.size());
    broadcast(&size, 1, MPI_INT64_T);
    bytes.resize(static_cast<size_t>(size));
    for (size_t at = 0; at < bytes.size(); at += kPartBytes) {
        const size_t part = std::min(kPartBytes, bytes.size() - at);
        broadcast(bytes.data() + at, static_cast<int>(part), MPI_BYTE);
    }
}

// One rank's block of the set: its scenarios, from `first` on.
TalvekScenarioSet blockOf(const TalvekScenarioSet &set, int64_t first, int64_t count) {
    TalvekScenarioSet block = set;
    block.scenario_count = static_cast<int32_t>(count);
    block.yearly_rates = set.yearly_rates + first * TALVEK_YEARLY_RATES_SIZE;
    if (set.annuity_rates != nullptr) block.annuity_rates = set.annuity_rates + first * TALVEK_ANNUITY_RATES;
    if (set.discount_curves != nullptr) block.discount_curves = set.discount_curves + first * TALVEK_CURVE_SIZE;
    return block;
}

// What a rank hands back: its status, message and the figures of the
// scenarios it valued.
struct BlockFigures {
    int64_t status;
    int64_t valued;
    char message[512];
};

void sendBlock(const BlockFigures &head, const TalvekScenarioResults &block) {
    sendBytes(&head, sizeof head, kRoot);
    const auto valued = static_cast<size_t>(head.valued);
    sendBytes(block.values, valued * sizeof(TalvekScenarioValues), kRoot);
    sendBytes(block.cashflows, valued * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double), kRoot);
}

// The engine numbers the scenarios of the block it was given from 1, and
// names none for the block's first: the message names the scenario by its
// number in the whole set.
void numberInSet(const char *message, int64_t first, char *out, size_t size) {
    long long k = 0;
    int rest = 0;
    if (std::sscanf(message, "scenario %lld: %n", &k, &rest) == 1 && rest > 0)
        std::snprintf(out, size, "scenario %lld: %s", k + static_cast<long long>(first), message + rest);
    else
        std::snprintf(out, size, "scenario %lld: %s", static_cast<long long>(first) + 1, message);
}

int valueWorkerShare(const std::vector<char> &bytes) {
    static WorkerShare share;
    unpackShare(bytes, share);
    const int rank = [] { int r = 0; MPI_Comm_rank(MPI_COMM_WORLD, &r); return r; }();
    const int ranks = rankCount();
    const int64_t first = firstScenarioOf(share.set.scenario_count, rank, ranks);
    const int64_t count = firstScenarioOf(share.set.scenario_count, rank + 1, ranks) - first;
    static TalvekResults results;
    TalvekScenarioResults block{};
    BlockFigures head{};
    head.status = TALVEK_OK;
    if (count > 0) {
        const TalvekScenarioSet mine = blockOf(share.set, first, count);
        head.status = talvek_value_scenarios(&share.def, &mine, &results, &block);
        head.valued = block.scenario_count;
        const char *said = results.message[0] != '\0' ? results.message
                                                      : talvek_status_message(static_cast<int32_t>(head.status));
        numberInSet(said, first, head.message, sizeof head.message);
    }
    sendBlock(head, block);
    talvek_release_scenarios(&block);
    return head.status == TALVEK_OK ? 0 : 1;
}

void *allocatedOrNull(size_t bytes) { return bytes == 0 ? nullptr : std::calloc(1, bytes); }

// Rank r's block into its place in the whole set's figures; the first rank
// whose block did not finish ends the set there, its message naming it.
void joinBlock(int rank, int64_t first, const BlockFigures &head, bool &ended, TalvekResults &results,
               TalvekScenarioResults &whole) {
    if (ended) return;
    whole.scenario_count = first + head.valued;
    if (head.status == TALVEK_OK) return;
    ended = true;
    results.status = static_cast<int32_t>(head.status);
    results.stopped = head.status == TALVEK_STOPPED ? 1 : 0;
    std::snprintf(results.message, sizeof results.message, "rank %d (scenarios from %lld on): %.400s", rank,
                  static_cast<long long>(first + 1),
                  head.message[0] != '\0' ? head.message : talvek_status_message(static_cast<int32_t>(head.status)));
    // said here as well: a rank stopped on its own is otherwise told apart
    // from a stop of the whole run only in the record
    std::fprintf(stderr, "talvek: %s\n", results.message);
}

// ---- a member file's pieces ----

// Pieces are dealt out in runs of `runLength`: run c goes to rank c mod N.
// Runs of several pieces let a rank value its next run while rank 0 joins
// the one before; many runs per rank keep the ranks' shares even.
constexpr int64_t kRunsPerRank = 8;
constexpr int64_t kPiecesInFlightPerJob = 4;

struct PieceDeal {
    int64_t runLength;
    int ranks;
};

int ownerOf(const PieceDeal &deal, int64_t piece) { return static_cast<int>((piece / deal.runLength) % deal.ranks); }

PieceDeal dealFor(int64_t pieces, int ranks, int32_t jobs) {
    const int64_t even = (pieces + ranks * kRunsPerRank - 1) / (ranks * kRunsPerRank);
    const int64_t busy = kPiecesInFlightPerJob * std::max<int32_t>(jobs, 1); // every thread has work
    return PieceDeal{std::max<int64_t>({even, busy, 1}), ranks};
}

// What a rank sends rank 0, a message at a time: the images of its pieces
// of one run of pieces, or, last, how its share ended.
enum MessageKind : int64_t { kImages = 1, kShareEnded = 2 };

struct MessageHead {
    int64_t kind;
    int64_t images; // kImages: how many follow
    int64_t bytes;  // kImages: their bytes in all, each after an ImageEntry
    int64_t status; // kShareEnded: the rank's TalvekStatus
    char message[512];
};

struct ImageEntry {
    int64_t run;
    int64_t piece;
    int64_t size;
};

// A rank other than 0: its images of one run of pieces, sent together.
struct GivingRank {
    PieceDeal deal;
    int rank;
    std::vector<char> kept;
    int64_t keptImages = 0;
    int64_t keptRun = -1;   // the engine's run the kept images belong to
    int64_t keptBlock = -1; // the run of pieces
};

void sendKept(GivingRank &giving) {
    if (giving.keptImages == 0) return;
    MessageHead head{};
    head.kind = kImages;
    head.images = giving.keptImages;
    head.bytes = static_cast<int64_t>(giving.kept.size());
    sendBytes(&head, sizeof head, kRoot);
    sendBytes(giving.kept.data(), giving.kept.size(), kRoot);
    giving.kept.clear();
    giving.keptImages = 0;
}

int32_t ownsPiece(void *user, int64_t piece) {
    const GivingRank &giving = *static_cast<const GivingRank *>(user);
    return ownerOf(giving.deal, piece) == giving.rank ? 1 : 0;
}

int32_t givePiece(void *user, int32_t run, int64_t piece, const void *image, int64_t size) {
    GivingRank &giving = *static_cast<GivingRank *>(user);
    const int64_t block = piece / giving.deal.runLength;
    if (run != giving.keptRun || block != giving.keptBlock) sendKept(giving);
    giving.keptRun = run;
    giving.keptBlock = block;
    const ImageEntry entry{run, piece, size};
    const char *entryBytes = reinterpret_cast<const char *>(&entry);
    giving.kept.insert(giving.kept.end(), entryBytes, entryBytes + sizeof entry);
    giving.kept.insert(giving.kept.end(), static_cast<const char *>(image), static_cast<const char *>(image) + size);
    ++giving.keptImages;
    // the run of pieces is complete: rank 0 may be waiting for it
    if ((piece + 1) % giving.deal.runLength == 0) sendKept(giving);
    return rankStopSignal != 0 ? 1 : 0;
}

int valueWorkerPieces(const std::vector<char> &bytes) {
    static WorkerShare share;
    Unpacker u{bytes};
    unpackDefinition(u, share);
    const int32_t ofValuation = u.value<int32_t>();
    GivingRank giving;
    giving.deal.runLength = u.value<int64_t>();
    giving.deal.ranks = rankCount();
    MPI_Comm_rank(MPI_COMM_WORLD, &giving.rank);
    TalvekPieceExchange exchange{};
    exchange.user = &giving;
    exchange.owns = ownsPiece;
    exchange.give = givePiece;
    share.def.piece_exchange = &exchange;
    static TalvekResults results;
    const int32_t status = talvek_value_pieces(&share.def, ofValuation, &results);
    sendKept(giving);
    MessageHead end{};
    end.kind = kShareEnded;
    end.status = status;
    std::snprintf(end.message, sizeof end.message, "%s",
                  results.message[0] != '\0' ? results.message : talvek_status_message(status));
    sendBytes(&end, sizeof end, kRoot);
    return status == TALVEK_OK ? 0 : 1;
}

// Rank 0: what each other rank has sent and rank 0 has not yet joined.
struct RankStream {
    std::vector<char> received;
    size_t at = 0;           // the next entry
    int64_t left = 0;        // entries not yet taken
    bool ended = false;      // the rank's share has ended
    int64_t status = TALVEK_OK;
    char message[512] = "";
};

struct JoiningRank {
    PieceDeal deal;
    std::vector<RankStream> streams; // [r] rank r's
};

// The next message of rank r: images, or the end of its share.
void receiveFrom(JoiningRank &joining, int r) {
    RankStream &stream = joining.streams[static_cast<size_t>(r)];
    MessageHead head{};
    receiveBytes(&head, sizeof head, r);
    if (head.kind == kShareEnded) {
        stream.ended = true;
        stream.status = head.status;
        std::memcpy(stream.message, head.message, sizeof stream.message);
        stream.message[sizeof stream.message - 1] = '\0';
        return;
    }
    stream.received.resize(static_cast<size_t>(head.bytes));
    receiveBytes(stream.received.data(), stream.received.size(), r);
    stream.at = 0;
    stream.left = head.images;
}

int32_t ownsOwnPiece(void *user, int64_t piece) {
    return ownerOf(static_cast<const JoiningRank *>(user)->deal, piece) == kRoot ? 1 : 0;
}

int32_t takePiece(void *user, int32_t run, int64_t piece, const void **image, int64_t *size, char *message,
                  int64_t messageSize) {
    JoiningRank &joining = *static_cast<JoiningRank *>(user);
    const int r = ownerOf(joining.deal, piece);
    RankStream &stream = joining.streams[static_cast<size_t>(r)];
    const auto say = [&](const char *text) {
        std::snprintf(message, static_cast<size_t>(messageSize), "rank %d (pieces from %lld on): %.400s", r,
                      static_cast<long long>(piece), text);
    };
    if (stream.left == 0 && !stream.ended) receiveFrom(joining, r);
    if (stream.ended) {
        const int32_t status = stream.status == TALVEK_OK ? TALVEK_ERROR_ARGUMENT : static_cast<int32_t>(stream.status);
        say(stream.status == TALVEK_OK ? "its share ended before this piece" : stream.message);
        // said here as well: a rank stopped on its own is otherwise told
        // apart from a stop of the whole run only in the record
        if (status == TALVEK_STOPPED) std::fprintf(stderr, "talvek: %s\n", message);
        return status;
    }
    ImageEntry entry{};
    if (stream.received.size() - stream.at < sizeof entry) {
        say("its message is cut short");
        return TALVEK_ERROR_ARGUMENT;
    }
    std::memcpy(&entry, stream.received.data() + stream.at, sizeof entry);
    if (entry.run != run || entry.piece != piece || entry.size < 0 ||
        static_cast<uint64_t>(entry.size) > stream.received.size() - stream.at - sizeof entry) {
        say("it sent another piece than the one due");
        return TALVEK_ERROR_ARGUMENT;
    }
    *image = stream.received.data() + stream.at + sizeof entry;
    *size = entry.size;
    stream.at += sizeof entry + static_cast<size_t>(entry.size);
    --stream.left;
    return TALVEK_OK;
}

} // namespace

int startRanks(int *argc, char ***argv) {
    MPI_Init(argc, argv);
    int rank = 0;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    return rank;
}

int serveRank() {
    struct sigaction action {};
    action.sa_handler = onRankStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    int status = 0;
    for (;;) {
        int64_t kind = kNoMoreWork;
        broadcast(&kind, 1, MPI_INT64_T);
        if (kind == kNoMoreWork) break;
        std::vector<char> bytes;
        broadcastBytes(bytes);
        status |= kind == kPieceShare ? valueWorkerPieces(bytes) : valueWorkerShare(bytes);
    }
    MPI_Finalize();
    return status;
}

void endRanks() {
    if (!ranksReleased) {
        int64_t kind = kNoMoreWork;
        broadcast(&kind, 1, MPI_INT64_T);
        ranksReleased = true;
    }
    MPI_Finalize();
}

// Rank 0: its own block first (with the reports), then every other rank's
// block in rank order, and the distribution over the whole set.
int32_t valueScenarioSet(const TalvekRunDef &def, const ScenarioFileSet &file, TalvekResults &results,
                         TalvekScenarioResults &scenarios) {
    const TalvekScenarioSet set = engineScenarioSet(file);
    const int ranks = rankCount();
    if (ranks == 1) return talvek_value_scenarios(&def, &set, &results, &scenarios);

    int64_t kind = kScenarioShare;
    broadcast(&kind, 1, MPI_INT64_T);
    std::vector<char> bytes = packedShare(def, set);
    broadcastBytes(bytes);

    const int64_t total = set.scenario_count;
    const int64_t mine = firstScenarioOf(total, 1, ranks);
    TalvekScenarioResults own{};
    const TalvekScenarioSet ownBlock = blockOf(set, 0, mine);
    int32_t status = TALVEK_OK;
    if (mine > 0) status = talvek_value_scenarios(&def, &ownBlock, &results, &own);

    scenarios = TalvekScenarioResults{};
    scenarios.values = static_cast<TalvekScenarioValues *>(
        allocatedOrNull(static_cast<size_t>(total) * sizeof(TalvekScenarioValues)));
    scenarios.cashflows = static_cast<double *>(
        allocatedOrNull(static_cast<size_t>(total) * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double)));
    const bool allocated = scenarios.values != nullptr && scenarios.cashflows != nullptr;
    if (allocated) {
        std::memcpy(scenarios.values, own.values, static_cast<size_t>(own.scenario_count) * sizeof(TalvekScenarioValues));
        std::memcpy(scenarios.cashflows, own.cashflows,
                    static_cast<size_t>(own.scenario_count) * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double));
    }
    scenarios.scenario_count = own.scenario_count;
    bool ended = status != TALVEK_OK;
    talvek_release_scenarios(&own);

    // every rank's block is received, even after one that ended the set
    static std::vector<char> drain;
    for (int rank = 1; rank < ranks; ++rank) {
        const int64_t first = firstScenarioOf(total, rank, ranks);
        BlockFigures head{};
        receiveBytes(&head, sizeof head, rank);
        const auto valued = static_cast<size_t>(head.valued);
        const size_t valueBytes = valued * sizeof(TalvekScenarioValues);
        const size_t flowBytes = valued * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double);
        if (allocated) {
            receiveBytes(scenarios.values + first, valueBytes, rank);
            receiveBytes(scenarios.cashflows + first * TALVEK_BENEFIT_CASHFLOWS_SIZE, flowBytes, rank);
        } else {
            drain.resize(std::max(valueBytes, flowBytes));
            receiveBytes(drain.data(), valueBytes, rank);
            receiveBytes(drain.data(), flowBytes, rank);
        }
        joinBlock(rank, first, head, ended, results, scenarios);
    }
    if (!allocated) {
        talvek_release_scenarios(&scenarios);
        std::snprintf(results.message, sizeof results.message, "the run could not get the memory it needs");
        return results.status = TALVEK_ERROR_MEMORY;
    }
    double stats[TALVEK_DISTRIBUTION_SIZE];
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) {
        if (talvek_distribution_of(scenarios.cashflows + i, scenarios.scenario_count, TALVEK_BENEFIT_CASHFLOWS_SIZE,
                                   stats) != TALVEK_OK) {
            std::snprintf(results.message, sizeof results.message, "the run could not get the memory it needs");
            return results.status = TALVEK_ERROR_MEMORY;
        }
        for (int d = 0; d < TALVEK_DISTRIBUTION_SIZE; ++d) scenarios.distribution[d][i] = stats[d];
    }
    return results.status;
}

// Rank 0: every piece its own or taken from the rank that owns it, joined in
// file order; then what the other ranks still send is received to its end,
// so that every rank finishes its share.
int32_t valueMemberFile(const TalvekRunDef &def, bool presentValues, TalvekResults &results,
                        TalvekValuation &valuation) {
    const int ranks = rankCount();
    int64_t pieces = 0;
    if (ranks == 1 || talvek_count_pieces(&def, &pieces) != TALVEK_OK)
        return presentValues ? talvek_value(&def, &results, &valuation) : talvek_run(&def, &results);

    JoiningRank joining;
    joining.deal = dealFor(pieces, ranks, def.jobs);
    joining.streams.resize(static_cast<size_t>(ranks));
    int64_t kind = kPieceShare;
    broadcast(&kind, 1, MPI_INT64_T);
    Packer p;
    packDefinition(p, def);
    p.value<int32_t>(presentValues ? 1 : 0);
    p.value<int64_t>(joining.deal.runLength);
    broadcastBytes(p.bytes);

    TalvekPieceExchange exchange{};
    exchange.user = &joining;
    exchange.owns = ownsOwnPiece;
    exchange.take = takePiece;
    TalvekRunDef shared = def;
    shared.piece_exchange = &exchange;
    const int32_t status =
        presentValues ? talvek_value(&shared, &results, &valuation) : talvek_run(&shared, &results);

    for (int r = 1; r < ranks; ++r) {
        RankStream &stream = joining.streams[static_cast<size_t>(r)];
        while (!stream.ended) receiveFrom(joining, r);
        // a rank stopped on its own is otherwise told apart from a stop of
        // the whole run only in the record
        if (stream.status == TALVEK_STOPPED) std::fprintf(stderr, "talvek: rank %d: %s\n", r, stream.message);
        // a rank that failed after rank 0 had every piece it needed: the
        // results stand, but the run did not go as asked
        if (status == TALVEK_OK && stream.status != TALVEK_OK && stream.status != TALVEK_STOPPED) {
            results.status = static_cast<int32_t>(stream.status);
            std::snprintf(results.message, sizeof results.message, "rank %d: %.400s", r, stream.message);
            return results.status;
        }
    }
    return status;
}
