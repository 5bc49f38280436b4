#include <gtest/gtest.h>

#include <sstream>

#include "tests/sim/sim_fixture.h"
#include "tools/wickinfo/wickinfo_report.h"

TEST(Wickinfo, PrintsTheNotebook) {
  SimNotebook nb;
  std::ostringstream out;
  EXPECT_EQ(PrintNotebook(*nb.client, out), 0);
  EXPECT_EQ(out.str(),
            "Model: PT-15KB3456CD\nSerial: 9K12304567\nBIOS: V1.23L45A M67\nDriver: 1.0.8.2\nSession: enciphered\n");
}

TEST(Wickinfo, PrintsTheFailureAndAnswersItsCode) {
  SimNotebook nb("[driver]\npresent = no\n");
  std::ostringstream out;
  EXPECT_EQ(PrintNotebook(*nb.client, out), MiscCommon::MC_ERR_NO_DEVICE);
  EXPECT_EQ(out.str(),
            "Error: MC_ERR_NO_DEVICE (Open)\n"
            "Message: MiscCommon::CMiscCommon::OpenDriver: SetupDiEnumDeviceInterfaces failed.\n");
}
