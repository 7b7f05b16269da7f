// The five statuses: each is only its starting state, the populations it
// reaches, and the years it is projected for. A sex other than M, m, F, f is
// valued with nothing, not even the start count.
#include <algorithm>
#include <cstdint>

#include "basis/basis_lookups.h"
#include "projection/population_steps.h"
#include "projection/projection_year.h"
#include "projection/valuation.h"
#include "projection/year_step.h"

namespace {

constexpr double kWeeksPerYear = 365.25 / 7.0;
constexpr int32_t kLongestBridgeService = 10;

ProjectionInputs inputsOf(const ValuationContext &context) {
    const HostArrays &host = *context.host;
    return ProjectionInputs{context.basis, context.host, &context.terms,
                            Results{host.memberCounts, host.decrementCounts, host.benefitCashflows,
                                    context.sinks, context.scenarioSinks},
                            context.lanes};
}

// Spouses in payment of one kind, of the given sex.
template <class A = double>
Survivors<A> survivorsOf(SurvivorKind kind, People people, Event deaths, Payment payment, bool male,
                      Keeping keeping) {
    Survivors<A> survivors{};
    survivors.kind = kind;
    survivors.people = people;
    survivors.deaths = deaths;
    survivors.payment = payment;
    survivors.male = male;
    survivors.keeping = keeping;
    return survivors;
}

template <class A = double>
Survivors<A> serviceSurvivorsOf(bool male, Keeping keeping) {
    return survivorsOf<A>(SurvivorKind::ofRetirees, People::serviceSurvivors, Event::serviceSurvivorDeaths,
                       Payment::serviceSpousePension, male, keeping);
}
template <class A = double>
Survivors<A> disabledSurvivorsOf(bool male, Keeping keeping) {
    return survivorsOf<A>(SurvivorKind::ofDisabled, People::disabledSurvivors, Event::disabledSurvivorDeaths,
                       Payment::disabledSpousePension, male, keeping);
}
template <class A = double>
Survivors<A> deferredSurvivorsOf(bool male) {
    return survivorsOf<A>(SurvivorKind::ofRetirees, People::deferredSurvivors, Event::deferredSurvivorDeaths,
                       Payment::deferredSpousePension, male, Keeping::averaged);
}

// Pensioners of one origin, nobody yet; set in place, the ring is large.
template <class A>
void startRetirees(Retirees<A> &retirees, Origin origin, Keeping keeping) {
    resetRing(*retirees.cohorts); // the ring is the record's own
    retirees.inGuarantee = 0.0;
    retirees.count = 0.0;
    retirees.spouseSurvival = 0.0;
    retirees.pension = PensionAmounts<A>{};
    retirees.bridge = 0.0;
    retirees.previousBridge = 0.0;
    retirees.lastCohortSlot = 0;
    retirees.origin = origin;
    retirees.keeping = keeping;
}

// The projection of a member: its ages and sex, the rates its years need,
// and no population yet; each status gives it those it reaches.
template <class A>
void beginProjection(MemberProjection<A> &p, const MemberRecord &member, bool male) {
    p.ages = MemberAges{member.age, member.spouseAge, male};
    p.needs = YearNeeds{};
    p.needs.member = true;
    p.needs.spouse = true;
    p.inService = nullptr;
    p.disabled = nullptr;
    p.deferred = nullptr;
    p.serviceRetirees = nullptr;
    p.deferredRetirees = nullptr;
    p.serviceSurvivors = nullptr;
    p.disabledSurvivors = nullptr;
    p.deferredSurvivors = nullptr;
    p.events = YearEvents{};
}

// The populations each status reaches.
constexpr Reach kInServiceReach{true, true, true, true, true, true, true, true};
constexpr Reach kPensionerReach{false, false, false, true, false, true, false, false};
constexpr Reach kDisabledReach{false, true, false, false, false, false, true, false};
constexpr Reach kDeferredReach{false, false, true, false, true, false, false, true};
constexpr Reach kSurvivingSpouseReach{false, false, false, false, false, true, false, false};

// Years U = 1 .. projectionYears - 1. Each status's valuation is flattened
// into one function with its starting state, so that what its populations
// are is known through the loop and only their steps are there.
template <Reach reach, Order order, class A>
void project(MemberProjection<A> &p, const ProjectionInputs &inputs, const MemberRecord &member,
             int32_t projectionYears) {
    for (int32_t U = 1; U < projectionYears; ++U) stepYear<reach, order>(p, inputs, member, U);
}

// One member in service at the valuation date: everyone else is nobody yet,
// every amount starts at zero.
template <class A>
void startInService(MemberProjection<A> &p, const MemberRecord &member, bool male) {
    p.inService->count = 1.0;
    p.inService->wholeServiceYears = member.wholeServiceYears;
    *p.disabled = Disabled<A>{};
    p.disabled->spouseSurvival = 1.0;
    *p.deferred = Deferred<A>{};
    p.deferred->serviceYears = member.wholeServiceYears;
    startRetirees(*p.serviceRetirees, Origin::service, Keeping::averaged);
    startRetirees(*p.deferredRetirees, Origin::deferment, Keeping::averaged);
    *p.serviceSurvivors = serviceSurvivorsOf<A>(!male, Keeping::averaged);
    *p.disabledSurvivors = disabledSurvivorsOf<A>(!male, Keeping::averaged);
    *p.deferredSurvivors = deferredSurvivorsOf<A>(!male);
    p.needs = YearNeeds{true, true, true, true, true, true, true};
}

// One member in service, with its amounts plain or in the three service
// lanes. Each population its own record, so that the compiler keeps the
// year's counts and amounts apart from the large ring and salary history.
template <class A>
[[gnu::flatten]] void projectActiveMember(const ValuationContext &context, const MemberRecord &member,
                                          SalaryHistory<IndexedOf<A>> &salary, bool male) {
    const ProjectionInputs inputs = inputsOf(context);
    InService<A> inService{};
    inService.salary = &salary;
    GuaranteeRing<A> serviceCohorts, deferredCohorts;
    Disabled<A> disabled;
    Deferred<A> deferred;
    Retirees<A> serviceRetirees, deferredRetirees;
    serviceRetirees.cohorts = &serviceCohorts;
    deferredRetirees.cohorts = &deferredCohorts;
    Survivors<A> serviceSurvivors, disabledSurvivors, deferredSurvivors;
    MemberProjection<A> p;
    beginProjection(p, member, male);
    p.inService = &inService;
    p.disabled = &disabled;
    p.deferred = &deferred;
    p.serviceRetirees = &serviceRetirees;
    p.deferredRetirees = &deferredRetirees;
    p.serviceSurvivors = &serviceSurvivors;
    p.disabledSurvivors = &disabledSurvivors;
    p.deferredSurvivors = &deferredSurvivors;
    startInService(p, member, male);
    countPeople(inputs.results, People::inService, male, 0, 1.0);
    // the result blocks and the mortality tables hold years up to 110 only
    project<kInServiceReach, Order::inService>(p, inputs, member,
                                               std::min(member.projectionYears, kProjectionSlots));
}

} // namespace

// Status 1: one member in service, who reaches every population. The salary
// history is projected whatever the sex. A valuation carries the amounts of
// its three attributions of service side by side.
void valueActiveMember(const ValuationContext &context, const MemberRecord &member) {
    SalaryHistory<double> salary{};
    projectSalaryHistory(salary, context.terms, *context.host, nullptr, member);
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    if (context.sinks != nullptr) {
        projectActiveMember<ServiceLanes>(context, member, salary, male);
    } else {
        projectActiveMember<double>(context, member, salary, male);
    }
}

namespace {

// Married and unknown marital status are valued with a spouse.
bool hasSpouse(char maritalStatus) {
    return maritalStatus == 'M' || maritalStatus == 'm' || maritalStatus == 'U' || maritalStatus == 'u';
}

// A pension inside its guarantee period is its ring's only cohort, in slot
// P - yearsRetired; one past it is paid for life, with f to the spouse.
template <class A>
void startPensioner(Retirees<A> &retirees, Survivors<A> &survivors, const MemberRecord &member, bool male,
                    const PlanTerms &terms, const Results &results) {
    const double spouse = hasSpouse(member.maritalStatus) ? 1.0 : 0.0;
    const double indexed = member.currentPension * member.guaranteedFraction;
    const double nonIndexed = member.currentPension * (1.0 - member.guaranteedFraction);
    const int32_t p0 = terms.guaranteeSlots;
    // Inside the guarantee only while the ring has a slot for the years
    // already retired. A pension whose guarantee ends within the coming year
    // (a fractional or over-long period) starts one slot up, so that it leaves
    // the guarantee in year 1 instead of dropping out of the ring unpaid;
    // years retired below 0, which the reader does not let through, start at P.
    if (static_cast<double>(member.yearsRetired) < terms.guaranteePeriod && member.yearsRetired <= p0) {
        retirees.lastCohortSlot =
            static_cast<int32_t>(std::clamp<int64_t>(int64_t{p0} - member.yearsRetired, 1, std::max(p0, 1)));
        retirees.inGuarantee = 1.0;
        countPeople(results, People::serviceRetireesInGuarantee, male, 0, 1.0);
        GuaranteeCohort<A> &pensioner = slotToWrite(*retirees.cohorts, retirees.lastCohortSlot);
        pensioner = GuaranteeCohort<A>{indexed, nonIndexed, member.bridgePension, 1.0, 1.0, spouse};
        return;
    }
    retirees.count = 1.0;
    countPeople(results, People::serviceRetirees, male, 0, 1.0);
    retirees.pension.indexed = indexed;
    retirees.pension.nonIndexed = nonIndexed;
    retirees.bridge = member.bridgePension;
    survivors.pension.indexed = indexed * terms.spouseFraction;
    survivors.pension.nonIndexed = nonIndexed * terms.spouseFraction;
    retirees.spouseSurvival = spouse;
}


// Status 2: a pensioner, with its spouse.
template <class A>
[[gnu::flatten]] void projectPensioner(const ValuationContext &context, const MemberRecord &member) {
    const ProjectionInputs inputs = inputsOf(context);
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    GuaranteeRing<A> ring;
    Retirees<A> pensioner;
    pensioner.cohorts = &ring;
    startRetirees(pensioner, Origin::service, Keeping::ownLife);
    Survivors<A> spouse = serviceSurvivorsOf<A>(!male, Keeping::ownLife);
    startPensioner(pensioner, spouse, member, male, context.terms, inputs.results);
    MemberProjection<A> p;
    beginProjection(p, member, male);
    p.needs.bridges = true;
    p.serviceRetirees = &pensioner;
    p.serviceSurvivors = &spouse;
    project<kPensionerReach, Order::laterState>(p, inputs, member, boundedProjectionYears(member.projectionYears));
}

// Status 3: a disability pensioner, whose spouse is paid f of its pension.
template <class A>
[[gnu::flatten]] void projectDisabilityPensioner(const ValuationContext &context, const MemberRecord &member) {
    const ProjectionInputs inputs = inputsOf(context);
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    Disabled<A> disabled{};
    disabled.count = 1.0;
    disabled.spouseSurvival = 1.0;
    disabled.keeping = Keeping::ownLife;
    disabled.pension.indexed = member.currentPension * member.guaranteedFraction;
    disabled.pension.nonIndexed = member.currentPension * (1.0 - member.guaranteedFraction);
    Survivors<A> spouse = disabledSurvivorsOf<A>(!male, Keeping::ownLife);
    spouse.shareOfPensioner = true;
    countPeople(inputs.results, People::disabled, male, 0, 1.0);
    MemberProjection<A> p;
    beginProjection(p, member, male);
    p.needs.member = false; // a disabled life dies at the loaded age only
    p.needs.disabled = true;
    p.disabled = &disabled;
    p.disabledSurvivors = &spouse;
    project<kDisabledReach, Order::laterState>(p, inputs, member, boundedProjectionYears(member.projectionYears));
}


// Ceiling average at the valuation date, c0: this year's ceiling and the
// past ones, each divided by the averaging years. Past ceilings exist for 59
// years back; a NaN bound makes no step.
double valuationCeilingAverage(const Basis &basis, double averagingYears) {
    double average = basis.salaryCeiling[0] / averagingYears;
    for (int32_t t = 1; t < kPastCeilingSlots && static_cast<double>(t) <= averagingYears - 1.0; ++t) {
        average += basis.pastSalaryCeiling[t] / averagingYears;
    }
    return average;
}

// The pension accrued at the valuation date, from the salary averaged at
// leaving: base = min(averageSalary, c0) x lowerRate + max(averageSalary - c0, 0)
// x upperRate; indexed = base x serviceWithGuarantee / 52.18, fixed = base x
// (serviceWithoutGuarantee / 52.18).
template <class A>
void startDeferred(Deferred<A> &deferred, const MemberRecord &member, const PlanTerms &terms, const Basis &basis) {
    const double ceilingAverage = valuationCeilingAverage(basis, terms.averagingYears);
    const double lower = member.averageSalary < ceilingAverage ? member.averageSalary : ceilingAverage;
    const double excess = member.averageSalary - ceilingAverage;
    const double upper = excess > 0.0 ? excess : 0.0;
    const double accrualBase = lower * terms.lowerAccrualRate + upper * terms.upperAccrualRate;
    deferred = Deferred<A>{};
    deferred.count = 1.0;
    deferred.keeping = Keeping::ownLife;
    deferred.indexedPension = accrualBase * member.serviceWithGuarantee / kWeeksPerYear;
    deferred.nonIndexedPension = accrualBase * (member.serviceWithoutGuarantee / kWeeksPerYear);
    deferred.serviceBand = locateServiceBand(basis, member.wholeServiceYears);
    deferred.bridgeServiceYears = std::min(truncToInt(member.serviceYears), kLongestBridgeService);
}


// Status 4: a deferred member, with the pensioner and spouse it becomes.
template <class A>
[[gnu::flatten]] void projectDeferredMember(const ValuationContext &context, const MemberRecord &member) {
    const ProjectionInputs inputs = inputsOf(context);
    Deferred<A> deferred;
    startDeferred(deferred, member, context.terms, *context.basis);
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    GuaranteeRing<A> ring;
    Retirees<A> pensioner;
    pensioner.cohorts = &ring;
    startRetirees(pensioner, Origin::deferment, Keeping::averaged);
    Survivors<A> spouse = deferredSurvivorsOf<A>(!male);
    countPeople(inputs.results, People::deferred, male, 0, 1.0);
    MemberProjection<A> p;
    beginProjection(p, member, male);
    p.needs.retirement = true;
    p.needs.bridges = true;
    p.needs.averagedBridges = true;
    p.deferred = &deferred;
    p.deferredRetirees = &pensioner;
    p.deferredSurvivors = &spouse;
    const int64_t youngerAge = std::min(member.age, member.spouseAge);
    project<kDeferredReach, Order::laterState>(p, inputs, member, boundedProjectionYears(121 - youngerAge));
}

// Status 5: a spouse in payment, who dies at its own mortality; its pension
// is indexed with the rate of the year itself and its deaths are counted
// with those of the disabled pensioners' spouses.
template <class A>
[[gnu::flatten]] void projectSurvivingSpouse(const ValuationContext &context, const MemberRecord &member) {
    const ProjectionInputs inputs = inputsOf(context);
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    Survivors<A> spouse = survivorsOf<A>(SurvivorKind::ofRetirees, People::serviceSurvivors, Event::disabledSurvivorDeaths,
                                   Payment::serviceSpousePension, male, Keeping::ownLife);
    spouse.survivorIsMember = true;
    spouse.indexedWithYearRate = true;
    spouse.count = 1.0;
    spouse.pension.indexed = member.currentPension * member.guaranteedFraction;
    spouse.pension.nonIndexed = member.currentPension * (1.0 - member.guaranteedFraction);
    countPeople(inputs.results, People::serviceSurvivors, male, 0, 1.0);
    MemberProjection<A> p;
    beginProjection(p, member, male);
    p.needs.spouse = false;
    p.serviceSurvivors = &spouse;
    project<kSurvivingSpouseReach, Order::laterState>(p, inputs, member,
                                                      boundedProjectionYears(member.projectionYears));
}

} // namespace

// Members out of service have no service to come: their amounts are plain.
void valuePensioner(const ValuationContext &context, const MemberRecord &member) {
    projectPensioner<double>(context, member);
}

void valueDisabilityPensioner(const ValuationContext &context, const MemberRecord &member) {
    projectDisabilityPensioner<double>(context, member);
}

void valueDeferredMember(const ValuationContext &context, const MemberRecord &member) {
    projectDeferredMember<double>(context, member);
}

void valueSurvivingSpouse(const ValuationContext &context, const MemberRecord &member) {
    projectSurvivingSpouse<double>(context, member);
}

namespace {

// A member of a block of scenarios: its counts once, the amounts of every
// scenario in lanes; a member in service with the salary history of each.
[[gnu::always_inline]] inline void valueInServiceInLanes(const ValuationContext &context,
                                                         const MemberRecord &member) {
    SalaryHistory<ScenarioValues> salary{};
    projectSalaryHistory(salary, context.terms, *context.host, context.lanes, member);
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    projectActiveMember<ScenarioLanes>(context, member, salary, male);
}

// Out of service: one lane per scenario, the same in every attribution.
[[gnu::always_inline]] inline void valueOutOfServiceInLanes(int32_t status, const ValuationContext &context,
                                                            const MemberRecord &member) {
    switch (status) {
    case TALVEK_MEMBER_PENSIONER: projectPensioner<ScenarioValues>(context, member); break;
    case TALVEK_MEMBER_DISABLED: projectDisabilityPensioner<ScenarioValues>(context, member); break;
    case TALVEK_MEMBER_DEFERRED: projectDeferredMember<ScenarioValues>(context, member); break;
    case TALVEK_MEMBER_SURVIVING_SPOUSE: projectSurvivingSpouse<ScenarioValues>(context, member); break;
    default: break;
    }
}

// The one source of the lanes compiled for each instruction set: everything
// a member's projection calls is inlined into each (flatten), so that its
// lanes are worked in the widest registers the path has; members in service
// and out of it apart, each its own function, so that the compiler lays out
// the one's registers and stack without the other's. The arithmetic is the
// same IEEE operations in the same order on every path, with no fused
// multiply-add (the build forbids contraction), so every path gives the
// same bytes.
#define TALVEK_LANE_PATH(name, ...)                                                                         \
    [[gnu::flatten, gnu::noinline __VA_OPT__(, ) __VA_ARGS__]] void valueInServiceIn##name##Lanes(          \
        const ValuationContext &context, const MemberRecord &member) {                                      \
        valueInServiceInLanes(context, member);                                                             \
    }                                                                                                       \
    [[gnu::flatten, gnu::noinline __VA_OPT__(, ) __VA_ARGS__]] void valueOutOfServiceIn##name##Lanes(       \
        int32_t status, const ValuationContext &context, const MemberRecord &member) {                      \
        valueOutOfServiceInLanes(status, context, member);                                                  \
    }                                                                                                       \
    void valueIn##name##Lanes(int32_t status, const ValuationContext &context, const MemberRecord &member) { \
        if (status == TALVEK_MEMBER_IN_SERVICE) return valueInServiceIn##name##Lanes(context, member);      \
        valueOutOfServiceIn##name##Lanes(status, context, member);                                          \
    }
TALVEK_LANE_PATH(Portable)
#if TALVEK_X86_LANES
TALVEK_LANE_PATH(Avx2, gnu::target("avx2"))
TALVEK_LANE_PATH(Avx512, gnu::target("avx512f"))
#endif
#undef TALVEK_LANE_PATH

} // namespace

void valueMemberInLanes(int32_t status, const ValuationContext &context, const MemberRecord &member) {
#if TALVEK_X86_LANES
    switch (context.lanes->path) {
    case LanePath::avx512: return valueInAvx512Lanes(status, context, member);
    case LanePath::avx2: return valueInAvx2Lanes(status, context, member);
    case LanePath::portable: break;
    }
#endif
    valueInPortableLanes(status, context, member);
}

bool lanePathRuns(LanePath path) {
#if TALVEK_X86_LANES
    if (path == LanePath::avx512) return __builtin_cpu_supports("avx512f");
    if (path == LanePath::avx2) return __builtin_cpu_supports("avx2");
#endif
    return path == LanePath::portable;
}
