"""The valuation report: one self-contained HTML page (the charts drawn by
matplotlib's Agg backend and embedded as base64 PNG), written atomically."""

import base64
import html
import io
import os
import tempfile

import matplotlib

matplotlib.use("Agg")  # no display: the charts are drawn into memory
import matplotlib.pyplot as plt  # noqa: E402
import pandas as pd  # noqa: E402

TITLE = "Valuation report"

# benefit types of the cash flow chart: label and the CSV columns added
# (both sexes); contributions are income, not benefits, and stay out
BENEFIT_TYPES = [
    ("Old-age pensions (from service)", ["old_age_pension_service_male", "old_age_pension_service_female"]),
    ("Disability pensions", ["disability_pension_male", "disability_pension_female"]),
    ("Old-age pensions (from deferment)", ["old_age_pension_deferred_male", "old_age_pension_deferred_female"]),
    ("Spouse pensions", ["spouse_pension_service_male", "spouse_pension_service_female",
                         "spouse_pension_disabled_male", "spouse_pension_disabled_female",
                         "spouse_pension_deferred_male", "spouse_pension_deferred_female"]),
    ("Bridge pensions", ["bridge_pension_male", "bridge_pension_female"]),
    ("Lump sums", ["lump_sum_male", "lump_sum_female"]),
]

# populations of the head count chart: label and the member count columns added
POPULATIONS = [
    ("In service", ["active_male", "active_female"]),
    ("Disability pensioners", ["disabled_male", "disabled_female"]),
    ("Deferred members", ["deferred_male", "deferred_female"]),
    ("Pensioners", ["service_retirees_male", "service_retirees_female", "deferred_retirees_male",
                    "deferred_retirees_female", "service_retirees_in_guarantee_male",
                    "service_retirees_in_guarantee_female", "deferred_retirees_in_guarantee_male",
                    "deferred_retirees_in_guarantee_female"]),
    ("Surviving spouses", ["service_survivors_male", "service_survivors_female", "disabled_survivors_male",
                           "disabled_survivors_female", "deferred_survivors_male", "deferred_survivors_female"]),
]

STATUS_LABELS = {"total": "All members", "all": "All members", "in_service": "In service",
                 "pensioners": "Pensioners", "pensioner": "Pensioners", "disabled": "Disability pensioners",
                 "deferred": "Deferred members", "spouses": "Surviving spouses",
                 "surviving_spouse": "Surviving spouses"}

STYLE = """
body { font-family: "DejaVu Sans", Arial, sans-serif; margin: 2em auto; max-width: 1100px; color: #222; }
h1 { border-bottom: 2px solid #345; padding-bottom: .2em; }
h2 { color: #345; margin-top: 1.6em; }
table { border-collapse: collapse; margin: .5em 0 1em; font-size: 0.92em; }
th, td { border: 1px solid #bbb; padding: .25em .6em; }
th { background: #e8edf2; text-align: left; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
tr.total td { font-weight: bold; background: #f4f6f8; }
img.chart { display: block; width: 100%; max-width: 1000px; margin: .5em 0 1.5em; }
p.note { color: #555; font-size: 0.9em; }
"""


def amount(value, currency=""):
    """An amount as an actuary reads it: whole units, thousands separated."""
    text = f"{value:,.0f}"
    if text == "-0":
        text = "0"
    return f"{text} {currency}".strip() if currency else text


def count(value):
    """A head count: one decimal (expected numbers), thousands separated."""
    return f"{value:,.1f}"


def _chart_png(figure):
    buffer = io.BytesIO()
    figure.savefig(buffer, format="png", dpi=100, bbox_inches="tight")
    plt.close(figure)
    return base64.b64encode(buffer.getvalue()).decode("ascii")


def _image(title, png):
    return (f'<img class="chart" alt="{html.escape(title)}" title="{html.escape(title)}" '
            f'src="data:image/png;base64,{png}">')


def _sum_columns(wide, columns):
    total = None
    for column in columns:
        # added in the order listed, as an actuary would add them
        total = wide[column] if total is None else total + wide[column]
    return total


def benefit_cashflow_chart(result, currency):
    wide = result.benefit_cashflows_wide()
    years = wide.index[1:]
    figure, axes = plt.subplots(figsize=(10, 4.5))
    series = [_sum_columns(wide, columns)[1:] for _, columns in BENEFIT_TYPES]
    axes.stackplot(years, *series, labels=[label for label, _ in BENEFIT_TYPES])
    axes.set_title("Expected benefit cash flows by type")
    axes.set_xlabel("Projection year")
    axes.set_ylabel(f"Amount per year{(' (' + currency + ')') if currency else ''}")
    axes.yaxis.set_major_formatter(matplotlib.ticker.FuncFormatter(lambda v, _: f"{v:,.0f}"))
    axes.legend(loc="upper right", fontsize=8)
    axes.set_xlim(1, years[-1])
    return _chart_png(figure)


def head_count_chart(result):
    wide = result.member_counts_wide()
    figure, axes = plt.subplots(figsize=(10, 4.5))
    for label, columns in POPULATIONS:
        axes.plot(wide.index, _sum_columns(wide, columns), label=label)
    axes.set_title("Expected head counts by population (end of year)")
    axes.set_xlabel("Projection year")
    axes.set_ylabel("Persons")
    axes.yaxis.set_major_formatter(matplotlib.ticker.FuncFormatter(lambda v, _: f"{v:,.0f}"))
    axes.legend(loc="upper right", fontsize=8)
    axes.set_xlim(0, wide.index[-1])
    return _chart_png(figure)


def liability_chart(result, currency):
    frame = result.present_values[result.present_values["group"] != "total"]
    labels = [STATUS_LABELS.get(s, s) for s in frame["group"]]
    positions = range(len(labels))
    figure, axes = plt.subplots(figsize=(10, 4.5))
    axes.bar([p - 0.2 for p in positions], frame["pvfb"], width=0.4, label="Present value of benefits")
    axes.bar([p + 0.2 for p in positions], frame["dbo"], width=0.4, label="Defined benefit obligation")
    axes.set_xticks(list(positions), labels)
    axes.set_title("Liability by status")
    axes.set_ylabel(f"Present value{(' (' + currency + ')') if currency else ''}")
    axes.yaxis.set_major_formatter(matplotlib.ticker.FuncFormatter(lambda v, _: f"{v:,.0f}"))
    axes.legend(fontsize=8)
    return _chart_png(figure)


SENSITIVITY_LABELS = {"discount_rate": "Discount rate", "inflation": "Inflation", "salary_growth": "Salary growth",
                      "mortality": "Mortality"}


def sensitivity_label(kind, size):
    # mortality is a factor on the rates, the others a rate added
    if kind == "mortality":
        return f"{SENSITIVITY_LABELS.get(kind, kind)} x {size:g}"
    return f"{SENSITIVITY_LABELS.get(kind, kind)} {100 * size:+g} %"


def sensitivity_chart(result):
    frame = result.sensitivities[(result.sensitivities["group"] == "total")
                                 & (result.sensitivities["sensitivity"] != "base")]
    labels = [sensitivity_label(kind, size) for kind, size in zip(frame["sensitivity"], frame["size"])]
    changes = list(frame["dbo_change_pct"])
    figure, axes = plt.subplots(figsize=(10, 0.45 * len(labels) + 1.8))
    axes.barh(labels, changes, color=["#b44" if c > 0 else "#48b" for c in changes])
    axes.axvline(0, color="#333", linewidth=0.8)
    axes.invert_yaxis()  # in the order of the basis, top to bottom
    axes.set_title("Change of the defined benefit obligation under each sensitivity")
    axes.set_xlabel("Change from the base (%)")
    return _chart_png(figure)


def _sensitivity_section(result, currency):
    frame = result.sensitivities[result.sensitivities["group"] == "total"]
    rows = []
    for _, row in frame.iterrows():
        label = "Base" if row["sensitivity"] == "base" else sensitivity_label(row["sensitivity"], row["size"])
        change = "" if row["sensitivity"] == "base" else f"{row['dbo_change_pct']:+.2f} %"
        rows.append([label, amount(row["pvfb"], currency), amount(row["dbo"], currency), change,
                     amount(row["service_cost"], currency), f"{row['duration']:.2f}"])
    header = ["Sensitivity", "Present value of benefits", "Defined benefit obligation", "Change of DBO",
              "Service cost", "Duration (years)"]
    return "<h2>Sensitivities</h2>\n" + _table(header, rows)


def _table(header, rows, numeric_from=1, total_rows=()):
    out = ["<table>", "<tr>" + "".join(f"<th>{html.escape(h)}</th>" for h in header) + "</tr>"]
    for index, row in enumerate(rows):
        css = ' class="total"' if index in total_rows else ""
        cells = []
        for column, cell in enumerate(row):
            kind = ' class="number"' if column >= numeric_from else ""
            cells.append(f"<td{kind}>{html.escape(str(cell))}</td>")
        out.append(f"<tr{css}>" + "".join(cells) + "</tr>")
    out.append("</table>")
    return "\n".join(out)


def _run_record_section(result):
    record = result.run_record
    rows = [("Program", record["program"]), ("Engine version", record["version"]),
            ("Started (UTC)", record["started"]), ("Ended (UTC)", record["ended"]),
            ("Valuation year", record["valuation_year"]), ("Jobs", record["jobs"]),
            ("Lines read", f"{record['lines_read']:,}"), ("Members valued", f"{record['members_valued']:,}"),
            ("Lines rejected", f"{record['rejected']:,}"), ("Members of unknown status", f"{record['skipped']:,}"),
            ("Complete", "yes" if record["complete"] else "no")]
    files = [(label, record[key]["path"], f"{record[key]['size']:,}", record[key]["sha256"])
             for label, key in (("Basis file", "basis_file"), ("Member file", "member_file"))]
    return ("<h2>Run record</h2>\n" + _table(["Item", "Value"], rows, numeric_from=2)
            + _table(["Input", "Path", "Bytes", "SHA-256"], files, numeric_from=2))


def _data_summary_section(result, currency):
    if not result.data_summary:
        return ""
    block = result.data_summary.split("\n\n")[0]
    frame = pd.read_csv(io.StringIO(block), keep_default_na=False)
    rows = []
    for _, row in frame.iterrows():
        rows.append([STATUS_LABELS.get(row["status"], row["status"]), row["code"], f"{int(row['members']):,}",
                     f"{int(row['male']):,}", f"{int(row['female']):,}", f"{float(row['average_age']):.1f}",
                     amount(float(row["total_salary"]), currency), amount(float(row["total_pension"]), currency),
                     f"{float(row['total_service_weeks']):,.0f}"])
    header = ["Status", "Code", "Members", "Men", "Women", "Average age", "Salaries per year",
              "Pensions per year", "Service (weeks)"]
    return "<h2>Data summary</h2>\n" + _table(header, rows, numeric_from=2, total_rows=(len(rows) - 1,))


def _present_value_section(result, currency):
    frame = result.present_values
    order = list(frame["group"][1:]) + ["total"]  # the total last, as a table of sums ends
    rows = []
    for group in order:
        row = frame[frame["group"] == group].iloc[0]
        rows.append([STATUS_LABELS.get(group, group), amount(row["pvfb"], currency),
                     amount(row["pv_contributions"], currency), amount(row["dbo"], currency),
                     amount(row["service_cost"], currency), f"{row['pvfb_duration']:.2f}"])
    header = ["Status", "Present value of benefits", "Present value of contributions",
              "Defined benefit obligation", "Service cost", "Duration (years)"]
    return ("<h2>Present values by status</h2>\n" + _table(header, rows, total_rows=(len(rows) - 1,))
            + '<p class="note">At the valuation date, the flows of year t discounted from t - 0.5; DBO: the '
            'benefits of the service completed at the valuation date; service cost: those of one more year of '
            'service, less the DBO; duration: Macaulay duration of the present value of benefits.</p>')


def report_html(result):
    """The whole report page as text."""
    currency = getattr(result.basis, "currency", "") or ""
    parts = [f"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>{TITLE}</title>",
             f"<style>{STYLE}</style>\n</head>\n<body>", f"<h1>{TITLE}</h1>",
             f'<p class="note">Valuation year {result.run_record["valuation_year"]}; '
             f'basis {html.escape(os.path.basename(result.run_record["basis_file"]["path"]))}.</p>']
    if not result.complete:
        parts.append('<p class="note"><strong>STOPPED: the results cover only part of the member file.</strong></p>')
    parts.append(_run_record_section(result))
    parts.append(_data_summary_section(result, currency))
    parts.append(_present_value_section(result, currency))
    has_sensitivities = result.sensitivities is not None and len(result.sensitivities) > 0
    if has_sensitivities:
        parts.append(_sensitivity_section(result, currency))
    parts.append("<h2>Charts</h2>")
    parts.append(_image("Benefit cash flows by type", benefit_cashflow_chart(result, currency)))
    parts.append(_image("Head counts by population", head_count_chart(result)))
    parts.append(_image("Liability by status", liability_chart(result, currency)))
    if has_sensitivities:
        parts.append(_image("Sensitivities", sensitivity_chart(result)))
    parts.append("</body>\n</html>\n")
    return "\n".join(parts)


def write_report(result, path):
    """Writes the report to path whole or not at all: into a temporary file
    beside it, flushed to the disk, then renamed over path."""
    page = report_html(result).encode("utf-8")
    path = os.path.abspath(os.fspath(path))
    directory = os.path.dirname(path)
    descriptor, temporary = tempfile.mkstemp(prefix=".report-", suffix=".html.tmp", dir=directory)
    try:
        with os.fdopen(descriptor, "wb") as stream:
            stream.write(page)
            stream.flush()
            os.fsync(stream.fileno())
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except FileNotFoundError:
            pass
        raise
