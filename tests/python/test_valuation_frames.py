"""The valuation's frames hold together: the statuses add up to the total,
the members to their groups, the present values are the discounted cash
flows, and the sensitivities move the figures the way they must."""

import math

import numpy as np
import pytest

import talvek
from conftest import EXAMPLE_BASIS, EXAMPLE_MEMBERS

STATUSES = ["in_service", "pensioners", "disabled", "deferred", "spouses"]
ARRAYS = ["member_counts", "decrement_counts", "benefit_cashflows"]


@pytest.fixture(scope="module")
def result():
    return talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, per_member=True,
                        sensitivities=[("discount_rate", 0.005), ("discount_rate", -0.005), ("mortality", 0.9),
                                       ("salary_growth", 0.005)], progress=False)


def test_statuses_add_up_to_every_member(result):
    for name in ARRAYS:
        total = result.array(name)
        parts = sum(result.array(name, status) for status in STATUSES)
        # added in another order than the engine's: equal to rounding
        np.testing.assert_allclose(parts, total, rtol=1e-12, atol=1e-9 * np.abs(total).max())
        for status in STATUSES:
            assert result.array(name, status).sum() > 0 or name == "decrement_counts", (name, status)
    pv = result.present_values.set_index("group")
    for column in ("pvfb", "pv_contributions", "dbo", "service_cost"):
        assert pv.loc[STATUSES, column].sum() == pytest.approx(pv.loc["total", column], rel=1e-12)


def test_members_add_up_to_their_groups(result):
    members = result.per_member
    assert len(members) == 3000 and list(members["line"]) == list(range(1, 3001))
    pv = result.present_values.set_index("group")
    for column in ("pvfb", "pv_contributions", "dbo", "service_cost"):
        by_status = members.groupby("status")[column].sum()
        for status in STATUSES:
            assert by_status[status] == pytest.approx(pv.loc[status, column], rel=1e-11, abs=1e-6), (status, column)
    # only members in service earn a service cost
    assert (members.loc[members["status"] != "in_service", "service_cost"] == 0).all()
    assert (members.loc[members["status"] == "in_service", "service_cost"] > 0).any()


def test_present_values_are_the_discounted_cash_flows(result):
    flows = result.benefit_cashflows_wide()
    factors = result.discount_factors.set_index("year")["mid_year_discount_factor"]
    total = result.present_values.set_index("group").loc["total"]
    for column in flows.columns:
        by_hand = math.fsum(flows.loc[t, column] * factors[t] for t in range(1, 111))
        assert total["pv_" + column] == pytest.approx(by_hand, rel=1e-12, abs=1e-6), column
    # v(t - 0.5) = v(t - 1) sqrt(v(t) / v(t - 1)); v(0) = 1
    v = result.discount_factors["discount_factor"].to_numpy()
    assert v[0] == 1.0
    assert factors[1] == pytest.approx(math.sqrt(v[1]), rel=1e-15)
    assert math.isnan(result.discount_factors["mid_year_discount_factor"][0])


def test_sensitivities_move_the_figures_as_they_must(result):
    frame = result.sensitivities
    total = frame[frame["group"] == "total"].reset_index(drop=True)
    assert list(total["sensitivity"]) == ["base", "discount_rate", "discount_rate", "mortality", "salary_growth"]
    base = total.loc[0]
    assert base["dbo"] == result.present_values.set_index("group").loc["total", "dbo"]
    higher_rate, lower_rate, lighter_mortality, more_growth = (total.loc[i] for i in range(1, 5))
    assert higher_rate["dbo"] < base["dbo"] < lower_rate["dbo"]
    assert higher_rate["duration"] < base["duration"] < lower_rate["duration"]
    assert lighter_mortality["pvfb"] > base["pvfb"]
    assert more_growth["pvfb"] > base["pvfb"]
    # the change in per cent, 100 (x / base - 1), and NaN where the base is 0
    assert higher_rate["dbo_change_pct"] == 100.0 * (higher_rate["dbo"] / base["dbo"] - 1.0)
    pensioners = frame[(frame["group"] == "pensioners") & (frame["sensitivity"] == "discount_rate")]
    assert pensioners["service_cost_change_pct"].isna().all()


def test_unknown_sensitivity_is_refused():
    with pytest.raises(ValueError, match="unknown sensitivity 'interest'"):
        talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, sensitivities=[("interest", 0.01)], progress=False)
