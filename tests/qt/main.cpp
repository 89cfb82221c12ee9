#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "TestScreens.h"

namespace {

// The offscreen platform's screens come from a configuration file named in the platform's
// options; without one there is a single screen.
std::string ScreensConfig() {
    using calvex::testing::kTallScreenDpi;
    std::string json = R"({"screens":[{"name":"main","x":0,"y":0,"width":800,"height":600,)"
                       R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1})";
    for (const auto& s : calvex::testing::kTallScreens) {
        json += R"(,{"name":"tall)" + std::to_string(s.height) + R"(","x":)" + std::to_string(s.x) +
                R"(,"y":0,"width":)" + std::to_string(s.width) + R"(,"height":)" +
                std::to_string(s.height) + R"(,"logicalDpi":)" + std::to_string(kTallScreenDpi) +
                R"(,"logicalBaseDpi":)" + std::to_string(kTallScreenDpi) + R"(,"dpr":1})";
    }
    for (const auto& s : calvex::testing::kSmallScreens) {
        json += R"(,{"name":"small)" + std::to_string(s.x) + R"(","x":)" + std::to_string(s.x) +
                R"(,"y":0,"width":)" + std::to_string(s.width) + R"(,"height":)" +
                std::to_string(s.height) + R"(,"logicalDpi":)" + std::to_string(s.dpi) +
                R"(,"logicalBaseDpi":)" + std::to_string(s.dpi) + R"(,"dpr":1})";
    }
    return json + "]}";
}

}  // namespace

int main(int argc, char** argv) {
    // Widgets are tested too, without a display: the build lists the tests this way as well.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform takes its screens from a configuration file.
    QTemporaryDir config;
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QStringLiteral("offscreen") &&
        config.isValid()) {
        const std::string path = config.filePath(QStringLiteral("screens.json")).toStdString();
        std::ofstream(path) << ScreensConfig();
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + path.c_str());
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
