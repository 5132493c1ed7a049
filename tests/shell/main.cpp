// The desktop program's tests run on real widgets under the offscreen platform. The
// application object must exist before any widget, so this main creates it first, with
// the JPEG format registered as start-up does.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include "client/http.h"
#include "shell/application.h"
#include "shell/layout_resources.h"
#include "shell/picture.h"
#include "tests/support/closed_services.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The user's settings (QSettings) go into a folder of the run's own, never the user's.
    QTemporaryDir config_home;
    qputenv("XDG_CONFIG_HOME", config_home.path().toLocal8Bit());
    korvid::test_support::CloseOnlineServices();
    korvid::TApplication app(argc, argv);
    korvid::HttpGlobalInit();
    korvid::InitLayoutResources();
    korvid::RegisterJpegFormat();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    korvid::UnregisterJpegFormat();
    return result;
}
