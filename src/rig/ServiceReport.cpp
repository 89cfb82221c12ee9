#include "rig/ServiceReport.h"

#include <cstdio>

namespace calvex {

namespace {

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    const auto last = s.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

std::string valueText(const clsCmcEeprom* image, const ComparedItem& item) {
    if (image == nullptr) return "-";
    const auto v = ComparedItemValue(*image, item);
    return v ? std::to_string(*v) : std::string("-");
}

}  // namespace

int ServiceReport::changedItems() const {
    int n = 0;
    for (const auto& item : items)
        n += item.changed ? 1 : 0;
    return n;
}

ServiceReport BuildServiceReport(const ServiceVisit& v) {
    ServiceReport r;
    r.title = "Service report: Velka " + v.model + "/" + v.sub + ", serial " + v.serial;
    r.fileStem = "service-report-" + v.serial;
    if (v.foundFrom.empty()) {
        r.header = {
            "Date: " + v.time,
            "Technician: " + (v.technician.empty() ? std::string("(not named)") : v.technician),
            "Constants: " + v.constPath + ", " + v.constChecksum};
    } else {
        r.header = {"Found: " + v.foundFrom, "Left: " + v.leftFrom,
                    "Report made: " + v.time +
                        (v.technician.empty() ? std::string() : ", by " + v.technician)};
        r.fromBackups = true;
    }

    std::vector<ReportItem> unchanged;
    for (const ComparedItem& item : v.items) {
        ReportItem row{trimmed(item.title), valueText(v.found, item), valueText(v.left, item),
                       false};
        if (row.found == "-" && row.left == "-") continue;  // no value of its own
        row.changed = row.found != row.left;
        (row.changed ? r.items : unchanged).push_back(row);
    }
    r.items.insert(r.items.end(), unchanged.begin(), unchanged.end());

    if (v.found != nullptr && v.left != nullptr) {
        const ImageComparison diff = CompareImages(*v.found, *v.left, v.items);
        for (const MapDifference& d : diff.others) {
            const std::string line = d.name + ": " + d.backupText + " -> " + d.currentText;
            (d.name.rfind("TXF table", 0) == 0 ? r.txf : r.otherChanges).push_back(line);
        }
    }
    for (int16_t f = 0; f < SweepCurves::kFilters; ++f) {
        const SweepCurve& curve = v.sweeps.Last(f);
        if (curve.serial == 0 || curve.points.empty()) continue;
        std::string summary = "set to " + std::to_string(curve.optimum) + ", plateau " +
                              std::to_string(curve.firstBest) + ".." +
                              std::to_string(curve.lastBest) + ", " +
                              std::to_string(curve.points.size()) + " points";
        if (curve.settledRaw) {
            char volts[32];
            std::snprintf(volts, sizeof volts, "%.2f V", *curve.settledRaw * 5.0 / 255.0);
            summary += std::string(", SD at the setting ") + volts;
        }
        if (curve.all) summary += " (BPF ALL)";
        r.sweeps.push_back({f == 0 ? "BPF T1" : "BPF T2", summary, curve});
    }
    for (const auto& line : v.readings)
        r.readings.push_back(line);
    if (!v.readingsTime.empty()) r.readings.insert(r.readings.begin(), "Read " + v.readingsTime);
    r.backups = v.backups;
    return r;
}

ReportDocument BuildReportDocument(const ServiceReport& r) {
    ReportDocument d{r.title, {}};
    const auto heading = [&d](std::string text) {
        d.blocks.emplace_back(ReportHeading{std::move(text)});
    };
    const auto paragraph = [&d](std::vector<std::string> entries) {
        d.blocks.emplace_back(ReportLines{ReportLineStyle::Paragraph, std::move(entries)});
    };
    // A section's lines, or what it says when it has none.
    const auto lines = [&](ReportLineStyle style, const std::vector<std::string>& entries,
                           const std::string& none) {
        if (entries.empty())
            paragraph({none});
        else
            d.blocks.emplace_back(ReportLines{style, entries});
    };
    const std::string notKept = "not kept in backups";

    if (!r.header.empty()) paragraph(r.header);

    heading("Adjustment items (" + std::to_string(r.changedItems()) + " changed)");
    // The item's name and the value it was left at stand out in a changed row.
    ReportTable items{{{"Item", false, true}, {"Found", true, false}, {"Left", true, true}},
                      {},
                      "Changed",
                      "changed"};
    for (const auto& i : r.items)
        items.rows.push_back({{i.name, i.found, i.left}, i.changed});
    d.blocks.emplace_back(std::move(items));

    heading("TXF table");
    lines(ReportLineStyle::Bullets, r.txf, "unchanged");

    heading("Band-pass filter sweeps");
    if (r.sweeps.empty()) paragraph({r.fromBackups ? notKept : "none in this visit"});
    for (const auto& s : r.sweeps)
        d.blocks.emplace_back(ReportCurve{s.filter, s.filter + ": " + s.summary, s.curve});

    if (!r.otherChanges.empty()) {
        heading("Other changes in the memory");
        d.blocks.emplace_back(ReportLines{ReportLineStyle::Bullets, r.otherChanges});
    }

    heading("Readings at the end");
    lines(ReportLineStyle::Fixed, r.readings, r.fromBackups ? notKept : "not read");

    heading(r.fromBackups ? "Backups the report is made from" : "Backups made in this visit");
    lines(ReportLineStyle::Bullets, r.backups, "none");
    return d;
}

std::string ServiceReportText(const ServiceReport& report) {
    return ReportDocumentText(BuildReportDocument(report));
}

std::string ServiceReportCsv(const ServiceReport& report) {
    return ReportDocumentCsv(BuildReportDocument(report));
}

}  // namespace calvex
