#include "rig/clsIndOp_RigVelka.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "base/Common.h"
#include "base/FormatPattern.h"
#include "base/ProgramPlaces.h"
#include "rig/TxfTable.h"
#include "rig/VelkaItems.h"

namespace calvex {

namespace {

constexpr int32_t kBpfDefaultWait = 200;

// One line of a text file without its line end (a file written with CR LF reads the same).
bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::string trimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The leading number of a line in the invariant format; a line that does not start with one
// counts as 0. Nothing is returned for a number too large for a float.
std::optional<float> leadingNumber(std::string_view s) {
    auto p = s.find_first_not_of(" \t");
    if (p == std::string_view::npos) return 0.0f;
    bool negative = false;
    if (s[p] == '+' || s[p] == '-') {
        negative = s[p] == '-';
        ++p;
    }
    // Only digits or a point may start it: "inf" and "nan" are letters like any other.
    if (p >= s.size() || !(std::isdigit(static_cast<unsigned char>(s[p])) != 0 || s[p] == '.')) {
        return 0.0f;
    }
    double v = 0;
    const auto [end, ec] =
        std::from_chars(s.data() + p, s.data() + s.size(), v, std::chars_format::general);
    (void)end;
    if (ec == std::errc::invalid_argument) return 0.0f;
    if (ec == std::errc::result_out_of_range || v > std::numeric_limits<float>::max()) {
        return std::nullopt;
    }
    return static_cast<float>(negative ? -v : v);
}

}  // namespace

clsIndOp_RigVelka::clsIndOp_RigVelka(ICloneSequencer& seq, clsCmcRadio& radio, clsConsole& console,
                                     IRigWindow& window, ITickSource& ticks)
    : myCln3Seq(seq),
      myRadio(radio),
      myConsole(console),
      myWindow(window),
      myEep(radio.eepImage),
      opTick(ticks),
      clock(ticks) {
    comPortNo = 1;
    RigOpFunc_ResetAll();
    txfTable.fill(0.0f);
    txfBorder = kTxfTempBorder;
}

void clsIndOp_RigVelka::RigOpFunc_ResetAll() {
    // What went out before the reset is in the radio: the image says so; the rest is dropped.
    SettleSentSoFar();
    outbox.clear();
    liveIdentified = liveReadAfterIdentify = false;
    // A reset ends a restore under way (a clone error, Connect, another port): it failed. Once
    // its write has begun the radio may hold part of the backup, and the technician must know.
    if (restore) restore->Abandon(*this);
    restore.reset();
    // A procedure cut off by a fault (or values of a stopped one not yet put back): what the
    // radio may hold instead of its own values.
    const std::vector<int32_t> trial = UnconfirmedTrialAddresses();
    if (!trial.empty()) {
        const std::string name = putBack ? putBack->procedure() : trialName;
        std::string text = "The " + name +
                           " procedure was stopped before its end and the values it tried could "
                           "not all be put back: the transceiver may hold trial values at "
                           "address" +
                           (trial.size() == 1 ? " " : "es ") + AddressList(trial) + ".";
        text += connectBackup.empty() ? std::string(" No backup of its memory as found was kept.")
                                      : " The backup " + connectBackup + " holds them as found.";
        AddNote(text);
    }
    trialBytes.clear();
    trialItems.clear();
    putBack.reset();
    connectAfterPutBack = false;
    portAfterPutBack.reset();
    procStep = 0;
    myCln3Seq.easyReset(comPortNo);
    // Nothing read is shown now: no radio may receive a changing frame until Connect.
    myCln3Seq.bindIdentity({});
    opState = kStateIdle;
    opFirst = true;
    dispParaRequest = false;
    for (std::size_t k = 0; k < 4; ++k)
        lastMon[k] = -1;
    for (std::size_t k = 0; k < 8; ++k)
        lastAdj[k] = -1;
    // Nothing read before belongs to the radio read next.
    readAt.fill(std::nullopt);
    liveCycle = false;
    liveNextReading = 0;
    roundStartedAt.reset();
    history.Clear();
    sweepCurves.Clear();
    opError = false;
    RigOpFunc_FormResource();

    clsConsole& con = myConsole;
    con.myListBox(myWindow.lboConsole());
    con.myEventClass(*this);
    con.myEeprom(myRadio.eepImage);
    con.Clear();

    // The Velka's items, from its table; the task names them by their console lines.
    AddItems(con, kVelkaItems);
    idxChNo = Index(VelkaItem::ChNo);
    idxBalW = Index(VelkaItem::BalW);
    idxBalRatio = Index(VelkaItem::BalRatio);
    idxModW = Index(VelkaItem::ModW);
    idxModRatio = Index(VelkaItem::ModRatio);
    idxBpfAll = Index(VelkaItem::BpfAll);
    idxBpfT1 = Index(VelkaItem::BpfT1);
    idxTxf = Index(VelkaItem::Txf);

    StopProcedures();
}

void clsIndOp_RigVelka::StopProcedures() {
    // Stopped before its end: the radio gets back what the procedure tried.
    if (procStep != 0) PutBackTrial();
    sweepCurves.Abandon();
    trialBytes.clear();
    trialItems.clear();
    procStep = 0;
    // A sweep runs without pauses between its sends.
    myConsole.WaitAfterE8(idxBpfT1, kBpfDefaultWait);
    myConsole.WaitAfterE8(static_cast<int16_t>(idxBpfT1 + 1), kBpfDefaultWait);
    for (int16_t i = 0; i < myConsole.ListCount(); ++i) {
        myConsole.flgEnterOn(i, false);
        myConsole.Disp(i);
    }
}

std::vector<ComparedItem> clsIndOp_RigVelka::RigVelkaOp_ComparedItems() const {
    std::vector<ComparedItem> items;
    for (int16_t i = 0; i < myConsole.ListCount(); ++i) {
        ComparedItem item;
        item.title = myConsole.Title(i);
        item.eeAdr = myConsole.EeAdr(i);
        item.eeSigned = myConsole.EeDataSigned(i);
        item.min = myConsole.Min(i);
        item.max = myConsole.Max(i);
        // The ratio items' values come from two bytes, as the read loads them.
        if (const ItemRow* ratio = RatioRowOf(i); ratio != nullptr && Index(ratio->item) == i) {
            item.ratioWideAdr = RowOf(ratio->wide).eeAdr;
            item.ratioNarrowAdr = ratio->narrowAdr;
        }
        items.push_back(std::move(item));
    }
    return items;
}

int16_t clsIndOp_RigVelka::RigVelkaOp_Table_Txf_TempBorder(int16_t i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= txfBorder.size()) {
        throw std::out_of_range("TXF border index out of range");
    }
    return txfBorder[static_cast<std::size_t>(i)];
}

std::vector<std::string> ConstFileCandidates(const std::string& cwd, const char* xdgConfigHome,
                                             const char* home) {
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    const auto add = [&paths](const fs::path& dir) {
        auto path = (dir / clsIndOp_RigVelka::kConstFileName).lexically_normal().string();
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
            paths.push_back(std::move(path));
        }
    };
    add(cwd.empty() ? fs::path(".") : fs::path(cwd));
    if (const std::string config = UserConfigFolder(xdgConfigHome, home); !config.empty()) {
        add(config);
    }
    return paths;
}

bool clsIndOp_RigVelka::RigVelkaProp_ReadParametersFromExtFile() {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    const auto candidates =
        ConstFileCandidates(ec ? std::string() : cwd.string(), EnvironmentValue("XDG_CONFIG_HOME"),
                            EnvironmentValue("HOME"));
    for (const auto& path : candidates) {
        if (!std::filesystem::exists(path, ec)) continue;
        constFileInUse = path;
        std::ifstream in(path);
        if (!in) {
            constFileProblem = path + " cannot be opened.";
            return false;
        }
        return ReadParameters(in, path);
    }
    constFileInUse = "not found; looked for at";
    for (const auto& c : candidates)
        constFileInUse += " " + c;
    constFileProblem = "Not found at ";
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        constFileProblem += (k == 0 ? "" : " or at ") + candidates[k];
    }
    constFileProblem += ".";
    return false;
}

bool clsIndOp_RigVelka::ReadParameters(std::istream& in, const std::string& file) {
    constFileProblem.clear();
    std::string line;
    if (!readLine(in, line)) {
        constFileProblem = file + " is empty.";
        return false;
    }
    if (trimBlanks(line) != kProgramTitle) {
        constFileProblem =
            file + " line 1: \"" + trimBlanks(line) + "\" is not \"" + kProgramTitle + "\".";
        return false;
    }
    for (std::size_t k = 0; k <= 20; ++k) {
        if (!readLine(in, line)) {
            constFileProblem = file + " ends after line " + std::to_string(k + 1) +
                               ": it needs 22 lines, the title and 21 constants.";
            return false;
        }
        const auto v = leadingNumber(line);
        // A constant the table arithmetic cannot carry would make the oscillator procedure
        // fail (or worse, compute nonsense for the radio); refuse the file instead.
        if (!v || std::abs(*v) > kTxfCoefLimit) {
            constFileProblem = file + " line " + std::to_string(k + 2) + ": " + trimBlanks(line) +
                               " is beyond the " + std::to_string(static_cast<int>(kTxfCoefLimit)) +
                               " ppm the " + "oscillator table can carry.";
            return false;
        }
        txfCoef[k] = *v;
    }
    return true;
}

void clsIndOp_RigVelka::RigOpFunc_FormResource() {
    myWindow.cmd00Caption(0, "Connect");
    myWindow.cmd00Caption(1, "Reload(F5)");
    myWindow.cmd00Caption(2, "Disp para");
    IListBox& mon = myWindow.lbo01(0);
    mon.Clear();
    mon.AddItem("[A/D]");
    for (int k = 0; k < 4; ++k)
        mon.AddItem("----");
    IListBox& adj = myWindow.lbo01(1);
    adj.Clear();
    adj.AddItem("[D/A]");
    for (int k = 0; k < 8; ++k)
        adj.AddItem("----");
    myWindow.lblProgressCaption(std::string(32, ' '));
}

void clsIndOp_RigVelka::RigOpFunc_FormLayout() {
    if (!layoutDone) {
        layoutDone = true;
        myWindow.windowPlacement(
            FirstWindowPlacement(myWindow.screenWidth(), myWindow.screenHeight()));
    }
    myWindow.applyLayout(ComputeRigVelkaLayout(myWindow.layoutInput()));
}

bool clsIndOp_RigVelka::RigOpFunc_CheckSubNameLegal(const std::string& name) {
    // Compared by character codes; a shorter text sorts before a longer one it begins.
    return name.substr(0, 4).compare(VelkaMemory::kSubCode) <= 0;
}

void clsIndOp_RigVelka::RigOpFunc_SetComPortNo(int16_t n) {
    if (n == comPortNo && !portAfterPutBack) return;
    StopProcedures();
    // The values a stopped procedure tried go back to the radio they were sent to first.
    if (RigVelkaProp_PuttingBack()) {
        portAfterPutBack = n;
        return;
    }
    portAfterPutBack.reset();
    comPortNo = n;
    RigOpFunc_ResetAll();
}

bool clsIndOp_RigVelka::RigOpFunc_StopForExit() {
    exiting = true;
    StopProcedures();
    connectAfterPutBack = false;
    return RigVelkaProp_PuttingBack();
}

std::string clsIndOp_RigVelka::RigOpFunc_TakeNote() {
    std::string note;
    note.swap(pendingNote);
    return note;
}

void clsIndOp_RigVelka::AddNote(const std::string& text) {
    if (!pendingNote.empty()) pendingNote += "\r\n\r\n";
    pendingNote += text;
}

void clsIndOp_RigVelka::RigOpFunc_ClickCmd00(int16_t index) {
    StopProcedures();
    switch (index) {
        case 0:
            // Connect reads the radio again once the values a stopped procedure tried are back.
            if (RigVelkaProp_PuttingBack()) {
                connectAfterPutBack = true;
                break;
            }
            RigOpFunc_ResetAll();
            opState = kStateConnect;
            opFirst = true;
            break;
        case 1:
            if (RigVelkaProp_EditEnabled()) reloadRequest = true;
            break;
        case 2:
            if (RigVelkaProp_EditEnabled()) {
                dispParaRequest = true;
            } else if (RigVelkaProp_DispPara()) {
                dispParaRequest = false;
            }
            break;
        default:
            break;
    }
}

std::string clsIndOp_RigVelka::ConsEv_Disp(clsConsole& console, int16_t& index, int16_t eventNo,
                                           int16_t value) {
    switch (eventNo) {
        case 0:
            return ChannelLine(console.Title(index), value);
        case 1: {
            std::string line = console.Title(index);
            if (!procRunning(kTxfSteps)) return line + ": [Enter] to Start";
            line += txfSecondPhase ? ": 2nd TX Freq = " : ": 1st TX Freq = ";
            if (myEep.Check_Inh(txAdr(curChannel))) {
                line += "Inhibit";
            } else {
                // The second phase sets the oscillator 10 ppm above the channel frequency.
                double hz = myEep.RigVelkaEep_GetChFreqTxReal(curChannel);
                if (txfSecondPhase) hz *= 1.00001;
                line += FormatPattern(hz / 1000000.0, "#000.#####0MHz");
            }
            return line + ", Setting = " + AlignRight(std::to_string(value), 3) +
                   console.BarString(index);
        }
        case 2:
            return console.Title(index) + (procRunning(kBpfSteps) && index == idxBpfAll
                                               ? ": Sweeping"
                                               : ": [Enter] to Sweep");
        case 3: {
            std::string line = console.DefaultString(index);
            if (!procRunning(kBpfSteps)) return line + " [Enter] to Sweep";
            const int filter = index - idxBpfT1;
            const bool marked = filter >= 0 && filter < static_cast<int>(bpfSweep.size()) &&
                                bpfSweep[static_cast<std::size_t>(filter)];
            return marked ? line + " Sweeping" : line;
        }
        case 4:
            if (!procRunning(kRssiSteps)) return console.Title(index) + ": [Enter] to Start";
            return console.Title(index) + (rssiS1Phase ? ": RSSI S1 Level " : ": RSSI S3 Level ");
        default:
            return "???";
    }
}

std::string clsIndOp_RigVelka::ChannelLine(const std::string& title, int16_t value) {
    const int16_t ch = chList.at(static_cast<std::size_t>(value));
    const std::string name = trimBlanks(myEep.RigVelkaEep_GetChName(ch));
    std::string line = title + ": " + (ch + 1 >= 10 ? name : "0" + name);

    const bool rxInhibit = myEep.Check_Inh(rxAdr(ch));
    const bool txInhibit = myEep.Check_Inh(txAdr(ch));
    const auto mhz = [](int32_t hz) { return FormatPattern(hz / 1000000.0, "###0.#####0"); };
    line += " RX = ";
    line += rxInhibit ? "Inhibit   " : mhz(myEep.RigVelkaEep_GetChFreqRxReal(ch));
    line += ", TX = ";
    if (txInhibit) {
        line += "Inhibit   ";
    } else if (rxInhibit) {
        line += mhz(myEep.RigVelkaEep_GetChFreqTxReal(ch));
    } else if (myEep.RigVelkaEep_GetChFreqTxReal(ch) == myEep.RigVelkaEep_GetChFreqRxReal(ch)) {
        line += "  <-      ";
    } else {
        line += mhz(myEep.RigVelkaEep_GetChFreqTxReal(ch));
    }
    line += "  RF Power: ";
    switch (myEep.RigVelkaEep_GetChRFPower(ch)) {
        case 0:
            line += "High";
            break;
        case 1:
            line += "Low2";
            break;
        default:
            line += "Low1";
            break;
    }
    line += "  Mode:";
    line += myEep.RigVelkaEep_GetChMode(ch) ? " Narrow" : " Wide";
    return line;
}

void clsIndOp_RigVelka::ConsEv_SendE8(clsConsole& console, int16_t& index, int16_t eventNo,
                                      int16_t value) {
    if (eventNo != 0) return;
    const int16_t ch = chList.at(static_cast<std::size_t>(value));
    // Channels are numbered from 1 on the wire; the radio is on it once the command is out.
    outbox.push_back({.command = console.E8Command(index),
                      .value = static_cast<int16_t>(ch + 1),
                      .channel = ch});
}

void clsIndOp_RigVelka::ConsEv_Enter(clsConsole&, int16_t& index, int16_t eventNo, int16_t) {
    switch (eventNo) {
        case 0:
            if (procRunning(kTxfSteps)) {
                txfNext = true;  // the technician confirms the current setting
            } else {
                StopProcedures();
                txfWriteAll = false;
                txfSecondPhase = false;
                procStep = kTxfSteps.first;
                BeginTrial();
            }
            break;
        case 1:
            if (procRunning(kRssiSteps)) {
                rssiNext = true;
            } else {
                StopProcedures();
                rssiS1Phase = false;
                procStep = kRssiSteps.first;
                BeginTrial();
            }
            break;
        case 2:
        case 3:
        case 4:
            // A running sweep can be neither restarted nor confirmed.
            if (procRunning(kBpfSteps)) break;
            bpfSweep.fill(false);
            bpfSweepAll = false;
            if (eventNo == 4) {
                bpfSweepAll = true;
                bpfSweep[0] = true;
                bpfSweep[1] = true;
            } else {
                bpfSweep[static_cast<std::size_t>(eventNo - 2)] = true;
            }
            idxBpfAll = index;
            StopProcedures();
            procStep = kBpfSteps.first;
            BeginTrial();
            break;
        default:
            break;
    }
}

}  // namespace calvex
