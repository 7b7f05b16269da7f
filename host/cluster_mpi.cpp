// talvek over MPI ranks: rank 0 runs the command, and the work of a run is
// spread over every rank, so that the results are the same bytes for any
// number of ranks.
//
// A member file: the engine's fixed pieces are dealt out in batches of a
// few pieces as the ranks ask for them, rank 0 among them; each rank values
// its batches and hands the pieces' images back a batch at a time, and rank
// 0 joins every piece in file order, whichever rank valued it, as one
// process joins its pieces.
//
// A scenario set: rank 0 values the first scenario (the valuation's own
// run, with the reports), and the others go out in batches of 8 as the
// ranks ask for them, rank 0 among them. Each scenario's figures do not
// depend on the others: rank 0 puts each batch in its place and takes the
// distribution over all of them as one process would.
//
// Rank 0 reads the basis (and the scenario file) and hands each rank the
// definition; every rank reads the member file itself (a path all of them
// see), or the checked bytes rank 0 hands it.
#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
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
// MPI lets a rank's threads work beside the one that talks to the other
// ranks: a member file's pieces are spread only then (else rank 0 values
// them alone, the same bytes).
bool threadsServed = false;

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
// Rank 0's main thread, which alone talks to the others while its other
// threads value and join pieces, looks at least every 2 ms: a rank asks
// for its next batch a batch ahead of need (tens of milliseconds), and a
// look less often leaves the core to the valuing thread beside it.
constexpr long kLongestServeNapNs = 2000000;

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

void *allocatedOrNull(size_t bytes) { return bytes == 0 ? nullptr : std::calloc(1, bytes); }

// ---- a member file's pieces ----

// The pieces are dealt out in batches as the ranks ask for them: a rank that
// comes to the end of its batch asks rank 0 for the next batch nobody has,
// so a faster rank (or a machine less loaded) values more of them and no
// rank waits for a slower one's share. Rank 0 joins the batches in file
// order whoever valued them, so the share changes nothing in the results.
// Many batches a rank keep the ends of the ranks' shares close; at least
// four pieces a job keep every thread of a rank busy.
constexpr int64_t kBatchesPerRank = 16;
constexpr int64_t kPiecesInFlightPerJob = 4;
// Rank 0 keeps a rank's images no further than this many batches a rank
// ahead of the batch it joins: a rank that runs far ahead of a slow one
// waits, rather than rank 0's memory growing with the file.
constexpr int64_t kBatchesAheadPerRank = 2;

constexpr int kClaimTag = 2; // a rank asks for its next batch of a run
constexpr int kGrantTag = 3; // rank 0's answer: the batch, or kNoBatch
constexpr int64_t kNoBatch = -1;

int64_t batchLengthFor(int64_t pieces, int ranks, int32_t jobs) {
    const int64_t even = (pieces + ranks * kBatchesPerRank - 1) / (ranks * kBatchesPerRank);
    const int64_t busy = kPiecesInFlightPerJob * std::max<int32_t>(jobs, 1);
    return std::max<int64_t>({even, busy, 1});
}

// A run's batches as one rank knows them, settled as its engine asks
// whether it owns a piece: the engine asks in file order, so a piece past
// every batch settled so far is where the rank asks for one more.
struct RunDeal {
    int32_t run = -1;
    std::vector<char> mine; // [batch] 1: this rank's
    int64_t settled = 0;    // every batch before this one is this rank's or another's
    bool exhausted = false; // every batch of the run is dealt
};

void startRunDeal(RunDeal &deal, int32_t run, int64_t batches) {
    if (deal.run == run) return;
    deal = RunDeal{};
    deal.run = run;
    deal.mine.assign(static_cast<size_t>(batches), 0);
}

// The batch rank 0 dealt this rank: every batch before it is another's.
void settleBatch(RunDeal &deal, int64_t granted, int64_t batches) {
    // rank 0 deals a run's batches in order: anything else is no batch
    if (granted == kNoBatch || granted < deal.settled || granted >= batches) {
        deal.exhausted = true;
        return;
    }
    deal.mine[static_cast<size_t>(granted)] = 1;
    deal.settled = granted + 1;
}

bool needsBatch(const RunDeal &deal, int64_t batch) { return batch >= deal.settled && !deal.exhausted; }

bool ownsInDeal(const RunDeal &deal, int64_t batch) {
    return batch < deal.settled && deal.mine[static_cast<size_t>(batch)] != 0;
}

// What a rank sends rank 0, a message at a time: the images of one batch
// (all of it, or as far as the rank got), or, last, how its share ended.
enum MessageKind : int64_t { kImages = 1, kShareEnded = 2 };

struct MessageHead {
    int64_t kind;
    int64_t run;    // kImages: the batch's run
    int64_t batch;  // kImages: the batch
    int64_t images; // kImages: how many follow, each after an ImageEntry
    int64_t status; // kShareEnded: the rank's TalvekStatus
    char message[512];
};

struct ImageEntry {
    int64_t run;
    int64_t piece;
    int64_t size;
};

// The images of the batch a rank is valuing, as its engine gives them.
struct KeptBatch {
    std::vector<char> bytes; // a MessageHead, then the images
    int64_t images = 0;
};

struct BatchPlan {
    int64_t length;  // pieces a batch
    int64_t pieces;  // pieces a run
    int64_t batches; // batches a run
};

bool endsBatch(const BatchPlan &plan, int64_t piece) {
    const int64_t batch = piece / plan.length;
    return piece + 1 == std::min(plan.pieces, (batch + 1) * plan.length);
}

void keepImage(KeptBatch &kept, const BatchPlan &plan, int32_t run, int64_t piece, const void *image, int64_t size) {
    if (kept.images == 0) {
        MessageHead head{};
        head.kind = kImages;
        head.run = run;
        head.batch = piece / plan.length;
        kept.bytes.assign(reinterpret_cast<const char *>(&head), reinterpret_cast<const char *>(&head) + sizeof head);
    }
    const ImageEntry entry{run, piece, size};
    const char *entryBytes = reinterpret_cast<const char *>(&entry);
    kept.bytes.insert(kept.bytes.end(), entryBytes, entryBytes + sizeof entry);
    kept.bytes.insert(kept.bytes.end(), static_cast<const char *>(image), static_cast<const char *>(image) + size);
    ++kept.images;
}

// The kept batch as a message, and nothing kept after it.
std::vector<char> batchMessage(KeptBatch &kept) {
    MessageHead head{};
    std::memcpy(&head, kept.bytes.data(), sizeof head);
    head.images = kept.images;
    std::memcpy(kept.bytes.data(), &head, sizeof head);
    kept.images = 0;
    return std::move(kept.bytes);
}

std::vector<char> endMessage(int32_t status, const TalvekResults &results) {
    MessageHead head{};
    head.kind = kShareEnded;
    head.status = status;
    std::snprintf(head.message, sizeof head.message, "%s",
                  results.message[0] != '\0' ? results.message : talvek_status_message(status));
    return std::vector<char>(reinterpret_cast<const char *>(&head), reinterpret_cast<const char *>(&head) + sizeof head);
}

bool test(MPI_Request &request) {
    if (request == MPI_REQUEST_NULL) return true;
    int done = 0;
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    return done != 0;
}

// A rank other than 0 values its pieces on a thread of its own; this rank's
// main thread alone talks to rank 0 (MPI_THREAD_FUNNELED): it asks for the
// rank's next batch ahead of need, so that the valuing thread finds it
// waiting when it comes to the end of a batch, and sends the batches valued.
struct GivingRank {
    BatchPlan plan;
    std::mutex lock;
    std::condition_variable changed;
    RunDeal deal;                // the valuing thread's
    KeptBatch kept;              // the valuing thread's
    int32_t run = -1;            // the run the valuing thread is in
    std::deque<int64_t> granted; // batches of `run` dealt and not yet started; kNoBatch: no more
    bool runDealt = false;       // rank 0 has answered kNoBatch for `run`
    std::deque<std::vector<char>> outbox; // messages for rank 0, in order
    bool valuingDone = false;
};

// Messages waiting to be sent before the valuing thread waits: one batch
// ready while the one before travels.
constexpr size_t kOutboxRoom = 1;
// Batches asked for ahead of the one being valued.
constexpr size_t kBatchesAsked = 1;

int32_t ownsDealtPiece(void *user, int32_t run, int64_t piece) {
    GivingRank &giving = *static_cast<GivingRank *>(user);
    std::unique_lock<std::mutex> held(giving.lock);
    if (giving.run != run) {
        startRunDeal(giving.deal, run, giving.plan.batches);
        giving.run = run;
        giving.granted.clear();
        giving.runDealt = false;
        giving.changed.notify_all();
    }
    const int64_t batch = piece / giving.plan.length;
    while (needsBatch(giving.deal, batch)) {
        giving.changed.wait(held, [&] { return !giving.granted.empty(); });
        settleBatch(giving.deal, giving.granted.front(), giving.plan.batches);
        giving.granted.pop_front();
        giving.changed.notify_all(); // time to ask for the one after
    }
    return ownsInDeal(giving.deal, batch) ? 1 : 0;
}

int32_t giveDealtPiece(void *user, int32_t run, int64_t piece, const void *image, int64_t size) {
    GivingRank &giving = *static_cast<GivingRank *>(user);
    std::unique_lock<std::mutex> held(giving.lock);
    // rank 0 not yet taking what this rank sent: wait rather than pile up
    giving.changed.wait(held, [&] { return giving.outbox.size() <= kOutboxRoom || rankStopSignal != 0; });
    keepImage(giving.kept, giving.plan, run, piece, image, size);
    if (endsBatch(giving.plan, piece)) {
        giving.outbox.push_back(batchMessage(giving.kept));
        giving.changed.notify_all();
    }
    return rankStopSignal != 0 ? 1 : 0;
}

// The main thread's side of a giving rank: the batch asked for, and the
// message on its way.
struct GivingLine {
    MPI_Request claim = MPI_REQUEST_NULL;
    MPI_Request grant = MPI_REQUEST_NULL;
    int64_t claimRun = 0;
    int64_t answer = kNoBatch;
    bool asking = false;
    MPI_Request sending = MPI_REQUEST_NULL;
    std::vector<char> inFlight;
};

// One look at what the valuing thread wants and what has come back (held:
// giving.lock); true when anything moved.
bool serveGiving(GivingRank &giving, GivingLine &line) {
    bool moved = false;
    if (line.asking && test(line.claim) && test(line.grant)) {
        line.asking = false;
        // an answer for a run the valuing thread has left (it stopped) is let go
        if (line.claimRun == giving.run) {
            giving.granted.push_back(line.answer);
            giving.runDealt = line.answer == kNoBatch;
        }
        giving.changed.notify_all();
        moved = true;
    }
    if (!line.asking && giving.run >= 0 && !giving.runDealt && giving.granted.size() < kBatchesAsked &&
        !giving.valuingDone) {
        line.claimRun = giving.run;
        MPI_Isend(&line.claimRun, 1, MPI_INT64_T, kRoot, kClaimTag, MPI_COMM_WORLD, &line.claim);
        MPI_Irecv(&line.answer, 1, MPI_INT64_T, kRoot, kGrantTag, MPI_COMM_WORLD, &line.grant);
        line.asking = true;
        moved = true;
    }
    if (test(line.sending)) {
        line.inFlight.clear();
        if (!giving.outbox.empty()) {
            line.inFlight = std::move(giving.outbox.front());
            giving.outbox.pop_front();
            giving.changed.notify_all();
            if (line.inFlight.size() > static_cast<size_t>(INT_MAX)) {
                // a batch beyond what one message holds: said as the rank's end
                TalvekResults said{};
                std::snprintf(said.message, sizeof said.message, "a batch of pieces is too large to send");
                line.inFlight = endMessage(TALVEK_ERROR_MEMORY, said);
            }
            MPI_Isend(line.inFlight.data(), static_cast<int>(line.inFlight.size()), MPI_BYTE, kRoot, kFiguresTag,
                      MPI_COMM_WORLD, &line.sending);
            moved = true;
        }
    }
    return moved;
}

// Nothing on its way to or from rank 0: the main thread waits for the
// valuing thread alone, however long.
bool givingIdle(const GivingRank &giving, const GivingLine &line) {
    return !line.asking && line.sending == MPI_REQUEST_NULL && giving.outbox.empty() &&
           (giving.runDealt || giving.granted.size() >= kBatchesAsked || giving.run < 0);
}

// The time a waiting thread sleeps between looks at the other ranks: short
// after something moved, twice as long after each look that found nothing.
void napAfter(bool moved, long &nap, long longest) { nap = moved ? kFirstNapNs : std::min(nap * 2, longest); }

// A giving rank's main thread: asks rank 0 for the valuing thread's
// batches ahead of need and sends what it hands over, until it is done.
void serveUntilValued(GivingRank &giving) {
    GivingLine line;
    long nap = kFirstNapNs;
    std::unique_lock<std::mutex> held(giving.lock);
    for (;;) {
        const bool moved = serveGiving(giving, line);
        if (giving.valuingDone && givingIdle(giving, line)) break;
        if (givingIdle(giving, line)) {
            giving.changed.wait(held);
            nap = kFirstNapNs;
        } else {
            napAfter(moved, nap, kLongestNapNs);
            giving.changed.wait_for(held, std::chrono::nanoseconds(nap));
        }
    }
}

int valueWorkerPieces(const std::vector<char> &bytes) {
    static WorkerShare share;
    Unpacker u{bytes};
    unpackDefinition(u, share);
    const int32_t ofValuation = u.value<int32_t>();
    GivingRank giving;
    giving.plan.length = u.value<int64_t>();
    giving.plan.pieces = u.value<int64_t>();
    giving.plan.batches = u.value<int64_t>();
    TalvekPieceExchange exchange{};
    exchange.user = &giving;
    exchange.owns = ownsDealtPiece;
    exchange.give = giveDealtPiece;
    share.def.piece_exchange = &exchange;
    static TalvekResults results;
    int32_t status = TALVEK_OK;
    std::thread valuing([&] {
        status = talvek_value_pieces(&share.def, ofValuation, &results);
        std::lock_guard<std::mutex> held(giving.lock);
        // a batch cut short by a stop: what there is of it, then the end
        if (giving.kept.images > 0) giving.outbox.push_back(batchMessage(giving.kept));
        giving.outbox.push_back(endMessage(status, results));
        giving.valuingDone = true;
        giving.changed.notify_all();
    });
    serveUntilValued(giving);
    valuing.join();
    return status == TALVEK_OK ? 0 : 1;
}

// ---- rank 0: the deal and the join

struct DealtBatch {
    int owner = -1;          // the rank it was dealt
    bool arrived = false;    // its images are here
    std::vector<char> bytes; // its message: the head, then the images
};

struct RankEnd {
    bool ended = false;
    int64_t status = TALVEK_OK;
    char message[512] = "";
};

void endShare(RankEnd &end, int64_t status, const char *message) {
    end.ended = true;
    end.status = status;
    std::snprintf(end.message, sizeof end.message, "%s", message);
}

// Shared by rank 0's three threads: the main thread (which alone talks to
// the other ranks), the joining run, and rank 0's own valuing of pieces
// (rank 0 is a rank like the others: "rank 0" in what is said).
struct JoiningDeal {
    BatchPlan plan;
    int32_t runs = 1;
    int ranks = 1;
    int64_t ahead = 0; // batches kept ahead of the one joined
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int64_t> nextBatch;              // [run] the next batch to deal
    std::map<int64_t, DealtBatch> dealt;         // by run * batches + batch; the joined ones are let go
    std::vector<std::deque<int64_t>> undelivered; // [rank] its batches not yet here, oldest first
    std::vector<RankEnd> ends;                   // [rank]
    int64_t joining = 0;                         // the batch the joining run is at
    std::atomic<bool> abandoned{false};          // the joining run has ended: nothing more is dealt or kept
    bool joinDone = false;
    RunDeal ownDeal;  // rank 0's own valuing
    KeptBatch ownKept;
};

int64_t indexOf(const JoiningDeal &deal, int64_t run, int64_t batch) { return run * deal.plan.batches + batch; }

// The next batch of `run` to `rank`, or none (held: deal.lock).
int64_t dealBatch(JoiningDeal &deal, int rank, int64_t run) {
    if (deal.abandoned || run < 0 || run >= deal.runs) return kNoBatch;
    int64_t &next = deal.nextBatch[static_cast<size_t>(run)];
    if (next >= deal.plan.batches) return kNoBatch;
    const int64_t batch = next++;
    const int64_t index = indexOf(deal, run, batch);
    deal.dealt[index].owner = rank;
    deal.undelivered[static_cast<size_t>(rank)].push_back(index);
    return batch;
}

// A batch's message from `rank` into its place (held: deal.lock).
void depositBatch(JoiningDeal &deal, int rank, std::vector<char> &&message) {
    MessageHead head{};
    std::memcpy(&head, message.data(), sizeof head);
    const int64_t index = indexOf(deal, head.run, head.batch);
    std::deque<int64_t> &waiting = deal.undelivered[static_cast<size_t>(rank)];
    const auto at = std::find(waiting.begin(), waiting.end(), index);
    if (at != waiting.end()) waiting.erase(at);
    const auto found = deal.dealt.find(index);
    // a batch joined past already (the run ended) or never dealt to it: let go
    if (deal.abandoned || found == deal.dealt.end() || found->second.owner != rank) return;
    found->second.arrived = true;
    found->second.bytes = std::move(message);
    deal.changed.notify_all();
}

// Whether rank 0 takes rank r's next message now: its oldest batch not yet
// here is near enough the join, or it has none (held: deal.lock).
bool mayReceiveFrom(const JoiningDeal &deal, int r) {
    const std::deque<int64_t> &waiting = deal.undelivered[static_cast<size_t>(r)];
    return deal.abandoned || waiting.empty() || waiting.front() < deal.joining + deal.ahead;
}

bool everyShareEnded(const JoiningDeal &deal) {
    return std::all_of(deal.ends.begin(), deal.ends.end(), [](const RankEnd &e) { return e.ended; });
}

// The image of `piece` in a batch that has arrived; false when the batch
// ends before it (its rank stopped in it).
bool imageInBatch(const DealtBatch &batch, int32_t run, int64_t piece, const void **image, int64_t *size) {
    size_t at = sizeof(MessageHead);
    while (batch.bytes.size() - at >= sizeof(ImageEntry)) {
        ImageEntry entry{};
        std::memcpy(&entry, batch.bytes.data() + at, sizeof entry);
        at += sizeof entry;
        if (entry.size < 0 || static_cast<uint64_t>(entry.size) > batch.bytes.size() - at) return false;
        if (entry.run == run && entry.piece == piece) {
            *image = batch.bytes.data() + at;
            *size = entry.size;
            return true;
        }
        at += static_cast<size_t>(entry.size);
    }
    return false;
}

int32_t ownsNone(void *, int32_t, int64_t) { return 0; }

int32_t takeDealtPiece(void *user, int32_t run, int64_t piece, const void **image, int64_t *size, char *message,
                       int64_t messageSize) {
    JoiningDeal &deal = *static_cast<JoiningDeal *>(user);
    std::unique_lock<std::mutex> held(deal.lock);
    const int64_t index = indexOf(deal, run, piece / deal.plan.length);
    if (index != deal.joining) {
        // the batches before are joined: let them go, and deal further ahead
        deal.dealt.erase(deal.dealt.begin(), deal.dealt.lower_bound(index));
        deal.joining = index;
        deal.changed.notify_all();
    }
    for (;;) {
        const auto found = deal.dealt.find(index);
        const DealtBatch *batch = found != deal.dealt.end() ? &found->second : nullptr;
        if (batch != nullptr && batch->arrived && imageInBatch(*batch, run, piece, image, size)) return TALVEK_OK;
        const int owner = batch != nullptr ? batch->owner : -1;
        const RankEnd *end = owner >= 0 ? &deal.ends[static_cast<size_t>(owner)] : nullptr;
        if (end != nullptr && end->ended) {
            const int32_t status =
                end->status == TALVEK_OK ? TALVEK_ERROR_ARGUMENT : static_cast<int32_t>(end->status);
            std::snprintf(message, static_cast<size_t>(messageSize), "rank %d (pieces from %lld on): %.400s", owner,
                          static_cast<long long>(piece),
                          end->status == TALVEK_OK ? "its share ended before this piece" : end->message);
            // said here as well: a rank stopped on its own is otherwise told
            // apart from a stop of the whole run only in the record
            if (status == TALVEK_STOPPED) std::fprintf(stderr, "talvek: %s\n", message);
            return status;
        }
        if (owner < 0 && everyShareEnded(deal)) {
            std::snprintf(message, static_cast<size_t>(messageSize),
                          "every rank's share ended before piece %lld of run %d", static_cast<long long>(piece), run);
            return TALVEK_ERROR_ARGUMENT;
        }
        deal.changed.wait_for(held, std::chrono::milliseconds(20));
    }
}

int32_t ownsOwnDealtPiece(void *user, int32_t run, int64_t piece) {
    JoiningDeal &deal = *static_cast<JoiningDeal *>(user);
    std::lock_guard<std::mutex> held(deal.lock);
    startRunDeal(deal.ownDeal, run, deal.plan.batches);
    const int64_t batch = piece / deal.plan.length;
    while (needsBatch(deal.ownDeal, batch)) settleBatch(deal.ownDeal, dealBatch(deal, kRoot, run), deal.plan.batches);
    return ownsInDeal(deal.ownDeal, batch) ? 1 : 0;
}

int32_t giveOwnDealtPiece(void *user, int32_t run, int64_t piece, const void *image, int64_t size) {
    JoiningDeal &deal = *static_cast<JoiningDeal *>(user);
    std::unique_lock<std::mutex> held(deal.lock);
    const int64_t index = indexOf(deal, run, piece / deal.plan.length);
    // far ahead of the join: wait, as another rank would
    deal.changed.wait(held, [&] { return deal.abandoned || index < deal.joining + deal.ahead; });
    if (deal.abandoned) return 1;
    keepImage(deal.ownKept, deal.plan, run, piece, image, size);
    if (endsBatch(deal.plan, piece)) depositBatch(deal, kRoot, batchMessage(deal.ownKept));
    return 0;
}

int32_t ownValuingStop(void *user, int64_t, int64_t) {
    return static_cast<const JoiningDeal *>(user)->abandoned ? 1 : 0;
}

// The runs a share makes of the member file: the definition's, and one
// for each sensitivity that is not a discount one.
int32_t runsOf(const TalvekRunDef &def, bool presentValues) {
    int32_t runs = 1;
    if (presentValues)
        for (int32_t k = 0; k < def.sensitivity_count; ++k)
            if (def.sensitivities[k].kind != TALVEK_SENSITIVITY_DISCOUNT) ++runs;
    return runs;
}

// One look at the other ranks: a request for a batch, answered at once,
// and the next message of each rank rank 0 takes now. True when anything moved.
// A rank's request for its next batch of `run`, if one has come, answered
// at once with what `deal(rank, run)` deals it (under `lock`). True when one had.
template <class Deal> bool answerClaim(std::mutex &lock, Deal deal) {
    int asked = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, kClaimTag, MPI_COMM_WORLD, &asked, &status);
    if (asked == 0) return false;
    int64_t run = 0;
    MPI_Recv(&run, 1, MPI_INT64_T, status.MPI_SOURCE, kClaimTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    int64_t batch = kNoBatch;
    {
        std::lock_guard<std::mutex> held(lock);
        batch = deal(status.MPI_SOURCE, run);
    }
    MPI_Request answer;
    MPI_Isend(&batch, 1, MPI_INT64_T, status.MPI_SOURCE, kGrantTag, MPI_COMM_WORLD, &answer);
    waitFor(answer);
    return true;
}

bool serveRanks(JoiningDeal &deal) {
    bool moved = answerClaim(deal.lock, [&](int rank, int64_t run) { return dealBatch(deal, rank, run); });
    MPI_Status status;
    for (int r = 1; r < deal.ranks; ++r) {
        {
            std::lock_guard<std::mutex> held(deal.lock);
            if (deal.ends[static_cast<size_t>(r)].ended || !mayReceiveFrom(deal, r)) continue;
        }
        int arrived = 0;
        MPI_Iprobe(r, kFiguresTag, MPI_COMM_WORLD, &arrived, &status);
        if (arrived == 0) continue;
        int count = 0;
        MPI_Get_count(&status, MPI_BYTE, &count);
        std::vector<char> message(static_cast<size_t>(std::max(count, 0)));
        MPI_Recv(message.data(), count, MPI_BYTE, r, kFiguresTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        moved = true;
        std::lock_guard<std::mutex> held(deal.lock);
        RankEnd &end = deal.ends[static_cast<size_t>(r)];
        MessageHead head{};
        if (message.size() < sizeof head) {
            endShare(end, TALVEK_ERROR_ARGUMENT, "its message is cut short");
            deal.changed.notify_all();
            continue;
        }
        std::memcpy(&head, message.data(), sizeof head);
        head.message[sizeof head.message - 1] = '\0';
        if (head.kind == kImages) depositBatch(deal, r, std::move(message));
        else endShare(end, head.status, head.message);
        deal.changed.notify_all();
    }
    return moved;
}

// ---- a scenario set's batches ----

// The first scenario is rank 0's: the valuation's own run, with the reports
// and the counts. The others are dealt in batches of 8, the engine's block
// of scenarios valued side by side in one pass over the members, as the
// ranks ask for them (rank 0 among them), so that a faster rank values more
// of them. Each scenario's figures do not depend on the others: rank 0 puts
// each batch in its place, and the set ends at the first scenario that did
// not finish, as one process's set does.
constexpr int64_t kScenariosPerBatch = 8;

int64_t firstOfBatch(int64_t batch) { return 1 + batch * kScenariosPerBatch; }

int64_t scenarioBatchesOf(int64_t scenarios) {
    return (scenarios - 1 + kScenariosPerBatch - 1) / kScenariosPerBatch;
}

enum ScenarioMessageKind : int64_t { kBatchFigures = 1, kScenarioShareEnded = 2 };

// What a rank sends for a batch of scenarios, then the present values and
// cash flows of those it valued; or, last, that its share has ended.
struct BatchFigures {
    int64_t kind;
    int64_t batch;
    int64_t status;
    int64_t valued;
    char message[512]; // a batch that did not finish: why, its scenario numbered in the set
};

std::vector<char> figuresMessage(const BatchFigures &head, const TalvekScenarioResults &figures) {
    const size_t valued = static_cast<size_t>(head.valued);
    const size_t valueBytes = valued * sizeof(TalvekScenarioValues);
    const size_t flowBytes = valued * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double);
    std::vector<char> message(sizeof head + valueBytes + flowBytes);
    std::memcpy(message.data(), &head, sizeof head);
    if (valued > 0) {
        std::memcpy(message.data() + sizeof head, figures.values, valueBytes);
        std::memcpy(message.data() + sizeof head + valueBytes, figures.cashflows, flowBytes);
    }
    return message;
}

// Batches of the set one after another, as `next` deals them, each handed
// to `handOver` with its figures; ends at the first that does not finish.
template <class Next, class HandOver>
int32_t valueScenarioBatches(const TalvekRunDef &def, const TalvekScenarioSet &set, Next next, HandOver handOver) {
    std::unique_ptr<TalvekResults> results(new TalvekResults{});
    for (;;) {
        const int64_t batch = next();
        if (batch == kNoBatch) return TALVEK_OK;
        const int64_t first = firstOfBatch(batch);
        TalvekScenarioSet part = blockOf(set, first, std::min<int64_t>(kScenariosPerBatch, set.scenario_count - first));
        part.options = TALVEK_SCENARIOS_FIGURES_ONLY;
        TalvekScenarioResults figures{};
        const int32_t status = talvek_value_scenarios(&def, &part, results.get(), &figures);
        BatchFigures head{};
        head.kind = kBatchFigures;
        head.batch = batch;
        head.status = status;
        head.valued = figures.values != nullptr ? figures.scenario_count : 0;
        if (status != TALVEK_OK)
            numberInSet(results->message[0] != '\0' ? results->message : talvek_status_message(status), first,
                        head.message, sizeof head.message);
        handOver(head, figures);
        talvek_release_scenarios(&figures);
        if (status != TALVEK_OK) return status;
    }
}

int valueWorkerShare(const std::vector<char> &bytes) {
    static WorkerShare share;
    unpackShare(bytes, share);
    GivingRank giving;
    giving.run = 0; // a set has one run: its batches are asked for at once
    int32_t status = TALVEK_OK;
    std::thread valuing([&] {
        const auto next = [&] {
            std::unique_lock<std::mutex> held(giving.lock);
            giving.changed.wait(held, [&] { return !giving.granted.empty(); });
            const int64_t batch = giving.granted.front();
            giving.granted.pop_front();
            giving.changed.notify_all(); // time to ask for the one after
            return batch;
        };
        const auto handOver = [&](const BatchFigures &head, const TalvekScenarioResults &figures) {
            std::vector<char> message = figuresMessage(head, figures);
            std::lock_guard<std::mutex> held(giving.lock);
            giving.outbox.push_back(std::move(message));
            giving.changed.notify_all();
        };
        status = valueScenarioBatches(share.def, share.set, next, handOver);
        BatchFigures end{};
        end.kind = kScenarioShareEnded;
        end.status = status;
        std::lock_guard<std::mutex> held(giving.lock);
        giving.outbox.push_back(figuresMessage(end, TalvekScenarioResults{}));
        giving.valuingDone = true;
        giving.changed.notify_all();
    });
    serveUntilValued(giving);
    valuing.join();
    return status == TALVEK_OK ? 0 : 1;
}

struct BatchOutcome {
    int rank = -1;      // the rank dealt it
    bool done = false;  // its figures are here
    int64_t status = TALVEK_OK;
    int64_t valued = 0;
    char message[512] = "";
};

// Rank 0's: the batches dealt and their outcomes, and the figures of the
// whole set, filled in as the batches come back.
struct ScenarioDeal {
    std::mutex lock;
    std::condition_variable changed;
    int64_t scenarios = 0;
    int64_t nextBatch = 0;
    bool abandoned = false;            // a scenario did not finish: no more batches are dealt
    std::vector<BatchOutcome> batches; // [batch]
    std::vector<RankEnd> ends;         // [rank]; rank 0's: its valuing thread's
    bool ownDone = false;
    int64_t scenariosDone = 0;         // for the progress shown
    TalvekScenarioResults *whole = nullptr;
};

int64_t dealScenarioBatch(ScenarioDeal &deal, int rank) {
    if (deal.abandoned || deal.nextBatch >= static_cast<int64_t>(deal.batches.size())) return kNoBatch;
    deal.batches[static_cast<size_t>(deal.nextBatch)].rank = rank;
    return deal.nextBatch++;
}

// A batch's figures into their place (held: deal.lock); false when the
// message does not hold what it says.
bool recordBatch(ScenarioDeal &deal, int rank, const BatchFigures &head, const char *values, const char *cashflows) {
    if (head.batch < 0 || head.batch >= static_cast<int64_t>(deal.batches.size())) return false;
    BatchOutcome &outcome = deal.batches[static_cast<size_t>(head.batch)];
    const int64_t first = firstOfBatch(head.batch);
    if (outcome.rank != rank || outcome.done || head.valued < 0 ||
        head.valued > std::min<int64_t>(kScenariosPerBatch, deal.scenarios - first))
        return false;
    if (head.valued > 0) {
        std::memcpy(deal.whole->values + first, values, static_cast<size_t>(head.valued) * sizeof(TalvekScenarioValues));
        std::memcpy(deal.whole->cashflows + first * TALVEK_BENEFIT_CASHFLOWS_SIZE, cashflows,
                    static_cast<size_t>(head.valued) * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double));
    }
    outcome.done = true;
    outcome.status = head.status;
    outcome.valued = head.valued;
    std::memcpy(outcome.message, head.message, sizeof outcome.message);
    outcome.message[sizeof outcome.message - 1] = '\0';
    deal.scenariosDone += head.valued;
    if (head.status != TALVEK_OK) deal.abandoned = true;
    return true;
}

// One look at the other ranks: a request for a batch, answered at once,
// and any rank's figures. True when anything moved.
bool serveScenarioRanks(ScenarioDeal &deal, int ranks) {
    const bool moved = answerClaim(deal.lock, [&](int rank, int64_t) { return dealScenarioBatch(deal, rank); });
    int arrived = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, kFiguresTag, MPI_COMM_WORLD, &arrived, &status);
    if (arrived == 0) return moved;
    const int r = status.MPI_SOURCE;
    int count = 0;
    MPI_Get_count(&status, MPI_BYTE, &count);
    std::vector<char> message(static_cast<size_t>(std::max(count, 0)));
    MPI_Recv(message.data(), count, MPI_BYTE, r, kFiguresTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    std::lock_guard<std::mutex> held(deal.lock);
    RankEnd &end = deal.ends[static_cast<size_t>(r)];
    BatchFigures head{};
    if (r <= 0 || r >= ranks || message.size() < sizeof head) {
        if (r > 0 && r < ranks) endShare(end, TALVEK_ERROR_ARGUMENT, "its message is cut short");
        deal.abandoned = true;
        return true;
    }
    std::memcpy(&head, message.data(), sizeof head);
    head.message[sizeof head.message - 1] = '\0';
    if (head.kind == kScenarioShareEnded) {
        endShare(end, head.status, head.message[0] != '\0' ? head.message
                                                           : talvek_status_message(static_cast<int32_t>(head.status)));
    } else {
        const size_t valueBytes = static_cast<size_t>(std::max<int64_t>(head.valued, 0)) * sizeof(TalvekScenarioValues);
        const size_t flowBytes = static_cast<size_t>(std::max<int64_t>(head.valued, 0)) * TALVEK_BENEFIT_CASHFLOWS_SIZE *
                                 sizeof(double);
        if (message.size() != sizeof head + valueBytes + flowBytes ||
            !recordBatch(deal, r, head, message.data() + sizeof head, message.data() + sizeof head + valueBytes)) {
            endShare(end, TALVEK_ERROR_ARGUMENT, "it sent figures of a batch that is not its own");
            deal.abandoned = true;
        }
    }
    deal.changed.notify_all();
    return true;
}

// Rank 0's progress over the whole set: the scenarios every rank has
// finished, and as far as this thread's run has come.
struct SetProgress {
    const TalvekRunDef *def;
    ScenarioDeal *deal;
    int64_t callScenarios = 1; // the scenarios of the run now going
    int64_t shown = 0;
};

int32_t setProgress(void *user, int64_t done, int64_t total) {
    SetProgress &progress = *static_cast<SetProgress *>(user);
    const int64_t perScenario = progress.callScenarios > 0 ? total / progress.callScenarios : 0;
    int64_t finished = 0;
    {
        std::lock_guard<std::mutex> held(progress.deal->lock);
        finished = progress.deal->scenariosDone;
    }
    const int64_t setTotal = perScenario * progress.deal->scenarios;
    progress.shown = std::max(progress.shown, std::min(setTotal, finished * perScenario + done));
    return progress.def->progress(progress.def->progress_user, progress.shown, setTotal);
}

// The set's figures as far as every scenario before finished: the first
// batch that did not finish ends it, its message naming the rank.
void endSetAtFirstUnfinished(ScenarioDeal &deal, TalvekResults &results, TalvekScenarioResults &scenarios) {
    for (size_t b = 0; b < deal.batches.size(); ++b) {
        const BatchOutcome &outcome = deal.batches[b];
        const int64_t first = firstOfBatch(static_cast<int64_t>(b));
        if (outcome.done && outcome.status == TALVEK_OK) {
            scenarios.scenario_count = first + outcome.valued;
            continue;
        }
        scenarios.scenario_count = first + (outcome.done ? outcome.valued : 0);
        const int64_t status = outcome.done ? outcome.status
                               : outcome.rank >= 0 ? deal.ends[static_cast<size_t>(outcome.rank)].status
                                                   : int64_t{TALVEK_STOPPED};
        const char *why = outcome.done ? outcome.message
                          : outcome.rank >= 0 ? deal.ends[static_cast<size_t>(outcome.rank)].message
                                              : "the run was stopped";
        results.status = status == TALVEK_OK ? TALVEK_ERROR_ARGUMENT : static_cast<int32_t>(status);
        results.stopped = results.status == TALVEK_STOPPED ? 1 : 0;
        std::snprintf(results.message, sizeof results.message, "rank %d (scenarios from %lld on): %.400s",
                      std::max(outcome.rank, 0), static_cast<long long>(first + 1),
                      status == TALVEK_OK ? "its share ended before these scenarios" : why);
        // said here as well: a rank stopped on its own is otherwise told
        // apart from a stop of the whole run only in the record
        std::fprintf(stderr, "talvek: %s\n", results.message);
        return;
    }
}

} // namespace

int startRanks(int *argc, char ***argv) {
    // each rank's main thread alone talks to the others; its other threads
    // value pieces
    int provided = MPI_THREAD_SINGLE;
    MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
    threadsServed = provided >= MPI_THREAD_FUNNELED;
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

// Rank 0: the first scenario (with the reports and counts) and then batches
// on a thread of its own, while the main thread deals batches to the ranks
// that ask and puts their figures in place; then the distribution over the
// whole set.
int32_t valueScenarioSet(const TalvekRunDef &def, const ScenarioFileSet &file, TalvekResults &results,
                         TalvekScenarioResults &scenarios) {
    const TalvekScenarioSet set = engineScenarioSet(file);
    const int ranks = rankCount();
    if (ranks == 1 || !threadsServed || set.scenario_count < 1)
        return talvek_value_scenarios(&def, &set, &results, &scenarios);

    int64_t kind = kScenarioShare;
    broadcast(&kind, 1, MPI_INT64_T);
    std::vector<char> bytes = packedShare(def, set);
    broadcastBytes(bytes);

    const int64_t total = set.scenario_count;
    scenarios = TalvekScenarioResults{};
    scenarios.values = static_cast<TalvekScenarioValues *>(
        allocatedOrNull(static_cast<size_t>(total) * sizeof(TalvekScenarioValues)));
    scenarios.cashflows = static_cast<double *>(
        allocatedOrNull(static_cast<size_t>(total) * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double)));
    const bool allocated = scenarios.values != nullptr && scenarios.cashflows != nullptr;
    ScenarioDeal deal;
    deal.scenarios = total;
    deal.batches.resize(static_cast<size_t>(scenarioBatchesOf(total)));
    deal.ends.resize(static_cast<size_t>(ranks));
    deal.whole = &scenarios;
    deal.abandoned = !allocated; // the other ranks are still served, and end at once

    SetProgress progress{&def, &deal};
    TalvekRunDef own = def;
    if (def.progress != nullptr) {
        own.progress = setProgress;
        own.progress_user = &progress;
    }
    int32_t firstStatus = TALVEK_OK;
    std::thread valuing([&] {
        TalvekScenarioResults firstFigures{};
        const TalvekScenarioSet firstScenario = blockOf(set, 0, 1);
        firstStatus = allocated ? talvek_value_scenarios(&own, &firstScenario, &results, &firstFigures)
                                : TALVEK_ERROR_MEMORY;
        std::unique_lock<std::mutex> held(deal.lock);
        if (firstFigures.values != nullptr && firstFigures.scenario_count == 1) {
            std::memcpy(scenarios.values, firstFigures.values, sizeof(TalvekScenarioValues));
            std::memcpy(scenarios.cashflows, firstFigures.cashflows, TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double));
            deal.scenariosDone = 1;
        }
        talvek_release_scenarios(&firstFigures);
        if (firstStatus != TALVEK_OK) deal.abandoned = true;
        held.unlock();
        // the batches write no reports: the first scenario's run has
        TalvekRunDef batches = own;
        batches.listing_file = batches.error_file = nullptr;
        progress.callScenarios = kScenariosPerBatch;
        const int32_t status = valueScenarioBatches(
            batches, set,
            [&] {
                std::lock_guard<std::mutex> locked(deal.lock);
                return dealScenarioBatch(deal, kRoot);
            },
            [&](const BatchFigures &head, const TalvekScenarioResults &figures) {
                std::lock_guard<std::mutex> locked(deal.lock);
                recordBatch(deal, kRoot, head, reinterpret_cast<const char *>(figures.values),
                            reinterpret_cast<const char *>(figures.cashflows));
            });
        held.lock();
        endShare(deal.ends[kRoot], status, talvek_status_message(status));
        deal.ownDone = true;
        deal.changed.notify_all();
    });

    long nap = kFirstNapNs;
    for (;;) {
        const bool moved = serveScenarioRanks(deal, ranks);
        std::unique_lock<std::mutex> held(deal.lock);
        bool ended = deal.ownDone;
        for (int r = 1; r < ranks; ++r) ended = ended && deal.ends[static_cast<size_t>(r)].ended;
        if (ended) break;
        napAfter(moved, nap, kLongestServeNapNs);
        deal.changed.wait_for(held, std::chrono::nanoseconds(nap));
    }
    valuing.join();

    if (!allocated) {
        talvek_release_scenarios(&scenarios);
        std::snprintf(results.message, sizeof results.message, "the run could not get the memory it needs");
        return results.status = TALVEK_ERROR_MEMORY;
    }
    // the first scenario did not finish: its run's status and message stand
    if (firstStatus != TALVEK_OK) scenarios.scenario_count = 0;
    else {
        scenarios.scenario_count = 1;
        endSetAtFirstUnfinished(deal, results, scenarios);
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

// Rank 0: the joining run on one thread, rank 0's own batches valued on
// another, and the main thread dealing batches to the ranks that ask and
// taking what they send, until every rank's share has ended.
int32_t valueMemberFile(const TalvekRunDef &def, bool presentValues, TalvekResults &results,
                        TalvekValuation &valuation) {
    const int ranks = rankCount();
    int64_t pieces = 0;
    if (ranks == 1 || !threadsServed || talvek_count_pieces(&def, &pieces) != TALVEK_OK || pieces == 0)
        return presentValues ? talvek_value(&def, &results, &valuation) : talvek_run(&def, &results);

    JoiningDeal deal;
    deal.plan.length = batchLengthFor(pieces, ranks, def.jobs);
    deal.plan.pieces = pieces;
    deal.plan.batches = (pieces + deal.plan.length - 1) / deal.plan.length;
    deal.runs = runsOf(def, presentValues);
    deal.ranks = ranks;
    deal.ahead = kBatchesAheadPerRank * ranks;
    deal.nextBatch.assign(static_cast<size_t>(deal.runs), 0);
    deal.undelivered.resize(static_cast<size_t>(ranks));
    deal.ends.resize(static_cast<size_t>(ranks));

    int64_t kind = kPieceShare;
    broadcast(&kind, 1, MPI_INT64_T);
    Packer p;
    packDefinition(p, def);
    p.value<int32_t>(presentValues ? 1 : 0);
    p.value<int64_t>(deal.plan.length);
    p.value<int64_t>(deal.plan.pieces);
    p.value<int64_t>(deal.plan.batches);
    broadcastBytes(p.bytes);

    // rank 0's own batches: valued as another rank values its own
    TalvekPieceExchange own{};
    own.user = &deal;
    own.owns = ownsOwnDealtPiece;
    own.give = giveOwnDealtPiece;
    TalvekRunDef valuing = def;
    valuing.piece_exchange = &own;
    valuing.listing_file = valuing.error_file = nullptr;
    valuing.progress = ownValuingStop;
    valuing.progress_user = &deal;
    std::unique_ptr<TalvekResults> ownResults(new TalvekResults{});
    std::thread ownValuing([&] {
        const int32_t status = talvek_value_pieces(&valuing, presentValues ? 1 : 0, ownResults.get());
        std::lock_guard<std::mutex> held(deal.lock);
        if (deal.ownKept.images > 0) depositBatch(deal, kRoot, batchMessage(deal.ownKept));
        endShare(deal.ends[kRoot], status,
                 ownResults->message[0] != '\0' ? ownResults->message : talvek_status_message(status));
        deal.changed.notify_all();
    });

    // the joining run takes every piece, its own batches' as the others'
    TalvekPieceExchange joining{};
    joining.user = &deal;
    joining.owns = ownsNone;
    joining.take = takeDealtPiece;
    TalvekRunDef shared = def;
    shared.piece_exchange = &joining;
    shared.jobs = 1; // it values nothing: joining is one thread's work
    int32_t status = TALVEK_OK;
    std::thread join([&] {
        status = presentValues ? talvek_value(&shared, &results, &valuation) : talvek_run(&shared, &results);
        std::lock_guard<std::mutex> held(deal.lock);
        deal.abandoned = true; // every piece it needed is joined, or it ended
        deal.joinDone = true;
        deal.changed.notify_all();
    });

    long nap = kFirstNapNs;
    for (;;) {
        const bool moved = serveRanks(deal);
        std::unique_lock<std::mutex> held(deal.lock);
        if (deal.joinDone && everyShareEnded(deal)) break;
        napAfter(moved, nap, kLongestServeNapNs);
        deal.changed.wait_for(held, std::chrono::nanoseconds(nap));
    }
    join.join();
    ownValuing.join();

    for (int r = 0; r < ranks; ++r) {
        const RankEnd &end = deal.ends[static_cast<size_t>(r)];
        // a rank stopped on its own is otherwise told apart from a stop of
        // the whole run only in the record
        if (r != kRoot && end.status == TALVEK_STOPPED)
            std::fprintf(stderr, "talvek: rank %d: %s\n", r, end.message);
        // a rank that failed after rank 0 had every piece it needed: the
        // results stand, but the run did not go as asked
        if (status == TALVEK_OK && end.status != TALVEK_OK && end.status != TALVEK_STOPPED) {
            results.status = static_cast<int32_t>(end.status);
            std::snprintf(results.message, sizeof results.message, "rank %d: %.400s", r, end.message);
            return results.status;
        }
    }
    return status;
}
