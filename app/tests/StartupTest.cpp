// Which road start-up takes for an argument text: files first, then the two-byte switch.
#include <gtest/gtest.h>

#include "app/Startup.h"
#include "base/FileList.h"

namespace {

Road RoadFor(const char* argumentText) {
    FileList files;
    files.fillFromCommandLine(argumentText);
    return ChooseRoad(files.count(), argumentText);
}

TEST(Startup, ChoosesItsRoadFromTheArgumentText) {
    struct Case {
        const char* text;
        Road road;
    } cases[] = {
        {"", Road::Settings},
        {"/i", Road::Install},
        {"/install", Road::Install},
        {"/u", Road::Uninstall},
        {"/uninstall", Road::Uninstall},
        {"/I", Road::Settings},   // the switch is case-sensitive
        {"/U", Road::Settings},
        {"-i", Road::Settings},   // '-' is no switch character
        {"/x", Road::Settings},
        {"/", Road::Settings},
        {" /i", Road::Settings},  // only the first two bytes count
        {"/i C:\\a.txt", Road::Job},  // a file wins over the switch
        {"\"C:\\My Files\\a.txt\"", Road::Job},
    };
    for (const Case& c : cases) EXPECT_EQ(c.road, RoadFor(c.text)) << "argument text: " << c.text;
}

}  // namespace
