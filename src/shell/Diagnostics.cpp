#include "shell/Diagnostics.h"

namespace calvex {

int16_t RecordingMessageBox::critical(const std::string& text, const std::string& title,
                                      const std::string& detail) {
    shown_.push_back(detail.empty() ? text : text + "\n  " + detail);
    if (shown_.size() > kKept) shown_.pop_front();
    return inner_.critical(text, title, detail);
}

namespace {

void section(std::string& out, const char* name, const std::string& body) {
    out += "== ";
    out += name;
    out += " ==\n";
    out += body.empty() ? std::string("(none)\n") : body;
    if (!out.ends_with('\n')) out += '\n';
    out += '\n';
}

std::string lines(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items)
        text += item + "\n";
    return text;
}

}  // namespace

std::string FormatDiagnostics(const DiagnosticsFacts& f) {
    std::string out = "Calvex ADJ diagnostics, made " + f.utcTime +
                      ". Send this file with a description of what happened.\n\n";
    section(out, "Program", f.program + "\nQt " + f.qt + "\n");
    section(out, "System", f.system);
    section(out, "Settings", f.settingsPath + "\n" + f.settingsText);
    section(out, "Serial devices", lines(f.serialDevices));
    section(out, "Port", lines(f.portFacts));
    section(out, "Messages shown", lines(f.messages));
    section(out, "Const.ini", f.constPath + "\n" + f.constChecksum + "\n");
    std::string trace = f.traceText;
    if (trace.size() > 2 * kTraceKeep) {
        trace = trace.substr(0, kTraceKeep) + "\n[... " +
                std::to_string(trace.size() - 2 * kTraceKeep) + " bytes left out ...]\n" +
                trace.substr(trace.size() - kTraceKeep);
    }
    section(out, "Last wire trace",
            f.traceName.empty() ? std::string() : f.traceName + "\n" + trace);
    return out;
}

}  // namespace calvex
