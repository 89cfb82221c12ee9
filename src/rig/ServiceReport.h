#pragma once

#include <span>
#include <string>
#include <vector>

#include "memory/clsCmcEeprom.h"
#include "rig/ImageComparison.h"
#include "rig/ReportDocument.h"
#include "rig/SweepCurve.h"

namespace calvex {

// What a service visit's report is made of. The desktop gathers the texts (times in its
// locale, the checksum); the images are the verified read at Connect and the program's image
// now.
struct ServiceVisit {
    std::string model, sub, serial;
    std::string time;  // "2026-12-10 23:40 (22:40 UTC)"
    std::string technician;
    std::string constPath, constChecksum;
    const clsCmcEeprom* found = nullptr;
    const clsCmcEeprom* left = nullptr;
    std::vector<ComparedItem> items;
    SweepCurves sweeps;
    std::vector<std::string> readings;  // the twelve rows as the lists show them
    std::string readingsTime;
    std::vector<std::string> backups;  // file names made in this visit
    // An earlier visit, reported from two of its radio's backups: what each image is ("Read at
    // Connect, 2026-12-01 09:12:40 (08:12:40 UTC), <file>"). Empty for the visit under way.
    std::string foundFrom, leftFrom;
};

struct ReportItem {
    std::string name;
    std::string found, left;
    bool changed = false;
};

// A sweep of this visit: which filter, the setting chosen and the plateau, and its curve.
struct ReportSweep {
    std::string filter;
    std::string summary;
    SweepCurve curve;
};

struct ServiceReport {
    std::string title;                // "Service report: Velka 2601/0100, serial 12345678"
    std::string fileStem;             // "service-report-12345678": a saved report's name begins so
    std::vector<std::string> header;  // date, technician, constants
    std::vector<ReportItem> items;    // changed ones first, each group in table order
    std::vector<std::string> txf;     // the TXF table areas written, found -> left
    std::vector<ReportSweep> sweeps;
    std::vector<std::string> otherChanges;  // differing parts no item shows
    std::vector<std::string> readings;
    std::vector<std::string> backups;
    // Of an earlier visit, made from two of its backups, which keep no procedures or readings.
    bool fromBackups = false;
    int changedItems() const;
};

ServiceReport BuildServiceReport(const ServiceVisit& visit);

// The report laid out: its sections in order, their headings, the item table with the changed
// rows marked, each sweep's curve and what an empty section says. The preview, the PDF, the
// text and the CSV all render this.
ReportDocument BuildReportDocument(const ServiceReport& report);

// The report's document as plain text.
std::string ServiceReportText(const ServiceReport& report);
// The item table: one row per item, name, found, left, changed ("yes"/"no"); a header row first.
std::string ServiceReportCsv(const ServiceReport& report);

}  // namespace calvex
