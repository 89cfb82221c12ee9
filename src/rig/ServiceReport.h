#pragma once

#include <span>
#include <string>
#include <vector>

#include "memory/clsCmcEeprom.h"
#include "rig/ImageComparison.h"
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
    // What the sections say when they are empty, and the backups' heading: an earlier visit's
    // procedures and readings are not kept in its backups.
    std::string noSweeps = "none in this visit";
    std::string noReadings = "not read";
    std::string backupsHeading = "Backups made in this visit";
    int changedItems() const;
};

ServiceReport BuildServiceReport(const ServiceVisit& visit);

// The report as plain text (what the preview and the PDF carry, in this order).
std::string ServiceReportText(const ServiceReport& report);
// One row per item: name, found, left, changed ("yes"/"no"); a header row first.
std::string ServiceReportCsv(const ServiceReport& report);

}  // namespace calvex
