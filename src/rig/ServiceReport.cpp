#include "rig/ServiceReport.h"

#include <cstdio>

#include "base/TextTable.h"

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
        r.noSweeps = "not kept in backups";
        r.noReadings = "not kept in backups";
        r.backupsHeading = "Backups the report is made from";
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

std::string ServiceReportText(const ServiceReport& r) {
    std::string t = r.title + "\n";
    for (const auto& h : r.header)
        t += h + "\n";
    t += "\nAdjustment items (" + std::to_string(r.changedItems()) + " changed)\n";
    t += "Item          Found   Left\n";
    for (const auto& i : r.items) {
        char line[96];
        std::snprintf(line, sizeof line, "%-12s %6s %6s%s\n", i.name.c_str(), i.found.c_str(),
                      i.left.c_str(), i.changed ? "   changed" : "");
        t += line;
    }
    t += "\nTXF table\n";
    if (r.txf.empty()) t += "unchanged\n";
    for (const auto& line : r.txf)
        t += line + "\n";
    t += "\nBand-pass filter sweeps\n";
    if (r.sweeps.empty()) t += r.noSweeps + "\n";
    for (const auto& s : r.sweeps)
        t += s.filter + ": " + s.summary + "\n";
    if (!r.otherChanges.empty()) {
        t += "\nOther changes in the memory\n";
        for (const auto& line : r.otherChanges)
            t += line + "\n";
    }
    t += "\nReadings at the end\n";
    if (r.readings.empty()) t += r.noReadings + "\n";
    for (const auto& line : r.readings)
        t += line + "\n";
    t += "\n" + r.backupsHeading + "\n";
    if (r.backups.empty()) t += "none\n";
    for (const auto& b : r.backups)
        t += b + "\n";
    return t;
}

std::string ServiceReportCsv(const ServiceReport& r) {
    TextTable table = {{"item", "found", "left", "changed"}};
    for (const auto& i : r.items)
        table.push_back({i.name, i.found, i.left, i.changed ? "yes" : "no"});
    return CsvText(table);
}

}  // namespace calvex
