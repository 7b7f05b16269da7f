"""Values the example plan from Python, prints the present values by status
and draws two charts (value_example_cashflows.png, value_example_headcounts.png).

    cmake --build build/release             # builds libtalvek.so, libtalvek_basis.so and the module
    PYTHONPATH=build/release/python /usr/bin/python3 examples/value_example.py [OUTPUT_FOLDER]
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import talvek  # noqa: E402

here = os.path.dirname(os.path.abspath(__file__))
out = sys.argv[1] if len(sys.argv) > 1 else "."

basis = talvek.read_basis(os.path.join(here, "basis.toml"))
result = talvek.value(basis, os.path.join(here, "members.txt"))

# present value of benefits, of contributions, the obligation, service cost, duration
table = result.present_values.set_index("group")[["pvfb", "pv_contributions", "dbo", "service_cost", "pvfb_duration"]]
print(f"Valuation {basis.valuation_year}: {result.run_record['members_valued']:,} members")
print(table.to_string(float_format=lambda v: f"{v:,.2f}"))

# the yearly benefits by type, both sexes added (tidy frame: year, status, column, value)
flows = result.cashflows[(result.cashflows["status"] == "total") & (result.cashflows["year"] > 0)]
flows = flows[~flows["column"].str.startswith("contributions")]
flows = flows.assign(benefit=flows["column"].str.replace(r"_(male|female)$", "", regex=True))
by_benefit = flows.pivot_table(index="year", columns="benefit", values="value", aggfunc="sum")
# a stacked chart takes no negative values: a run-off that ends in rounding
# dust (a few 1e-13 below zero in the last years) is drawn as zero
by_benefit = by_benefit.clip(lower=0)
axes = by_benefit.plot.area(figsize=(10, 5), title="Expected benefit cash flows by type")
axes.set_xlabel("Projection year")
axes.figure.savefig(os.path.join(out, "value_example_cashflows.png"), dpi=90, bbox_inches="tight")
plt.close(axes.figure)

# the members in service and the pensioners of each status as they run off
counts = result.member_counts_wide()
populations = {
    "in service": counts["active_male"] + counts["active_female"],
    "deferred": counts["deferred_male"] + counts["deferred_female"],
    "disabled": counts["disabled_male"] + counts["disabled_female"],
}
axes = plt.figure(figsize=(10, 5)).gca()
for label, series in populations.items():
    axes.plot(series.index, series, label=label)
axes.set_title("Expected head counts")
axes.set_xlabel("Projection year")
axes.legend()
axes.figure.savefig(os.path.join(out, "value_example_headcounts.png"), dpi=90, bbox_inches="tight")
print(f"charts in {os.path.abspath(out)}: value_example_cashflows.png, value_example_headcounts.png")
