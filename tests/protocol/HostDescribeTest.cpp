// The host program's --describe, run as a user runs it.
#include "tests/support/RunHost.h"

#include <gtest/gtest.h>

TEST(HostDescribe, PrintsNamesAndEveryPin) {
    HostRun run = runHost("--describe");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("QANAGUI"), std::string::npos);
    EXPECT_NE(run.output.find("DUDEVIVIDOR"), std::string::npos);
    EXPECT_NE(run.output.find("Inputs (81)"), std::string::npos);
    EXPECT_NE(run.output.find("Outputs (77)"), std::string::npos);
    EXPECT_NE(run.output.find("iSHo"), std::string::npos);
    EXPECT_NE(run.output.find("SHow"), std::string::npos);
    EXPECT_NE(run.output.find("audio"), std::string::npos);
}

TEST(HostDescribe, FailsClearlyWhenTheModuleCannotBeUsed) {
    HostRun missing = runHost("--describe --module /nonexistent/qanagui.so");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.output.find("cannot load module"), std::string::npos) << missing.output;

    // A real shared object without the export: the maths library.
    HostRun noExport = runHost("--describe --module libm.so.6");
    EXPECT_NE(noExport.exitCode, 0);
    EXPECT_NE(noExport.output.find("does not export"), std::string::npos) << noExport.output;

    // Without arguments the host now runs the analyzer; an unknown argument is still refused.
    HostRun badArgument = runHost("--no-such-option");
    EXPECT_NE(badArgument.exitCode, 0);
}
