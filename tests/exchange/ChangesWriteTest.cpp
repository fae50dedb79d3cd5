// A write of only what differs from the device, against the simulator in process: what it sends
// for no change, one parameter and one event row, that its read-back catches a write the device
// did not keep, and what a cut in its middle leaves said.

#include <gtest/gtest.h>

#include "exchange/ExchangeFixture.h"
#include "exchange/Sequences.h"
#include "support/SettingsFiles.h"

namespace quelvar::exchange {
namespace {

// A whole read of the simulator's settings, and a sector's erase, writes and reads.
constexpr std::size_t kWholeRead = 401;
constexpr std::size_t kSectorBlocks = 4096 / 32;

class ChangesWriteTest : public ExchangeFixture {
  protected:
    void SetUp() override {
        ExchangeFixture::SetUp();
        Attach();
        backup.store = &store;
        DeviceSession session(exchange);
        const ReadAllResult read = session.ReadEverything(wanted);
        ASSERT_TRUE(read.Complete());
        request.settings = &wanted;
        request.modeIndex = read.modeIndex;
        sim.ClearCommands();
    }

    SequenceOutcome Write() {
        DeviceSession session(exchange);
        written = {};
        return RunChangesWrite(session, request, backup, held, readBack, written);
    }

    std::size_t Count(std::uint8_t code) const { return CommandsWithCode(code).size(); }

    test::TempDir dir;
    settings::BackupStore store{dir.path / "backups"};
    BackupRequest backup;
    WriteRequest request;
    settings::HeldSettings held;
    settings::SettingsModel wanted;
    settings::SettingsModel readBack;
    ChangesWritten written;
};

TEST_F(ChangesWriteTest, ADeviceThatHoldsEverythingGetsNothingButItsBackup) {
    const SequenceOutcome outcome = Write();
    EXPECT_EQ(outcome.ending, Ending::kComplete);
    EXPECT_TRUE(written.Nothing());
    EXPECT_EQ(sim.CommandCount(), kWholeRead);
    EXPECT_EQ(Count(link::kSetParameter), 0u);
    EXPECT_EQ(store.List().size(), 1u);
    ASSERT_TRUE(outcome.verify);
    EXPECT_EQ(outcome.verify->Differing(), 0);
}

TEST_F(ChangesWriteTest, OneParameterAndOneEventRowAreWrittenAndReadBackAlone) {
    wanted.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "+3622");
    wanted.AlarmGrid().SetCell(1, 3, "131");
    const SequenceOutcome outcome = Write();
    EXPECT_EQ(outcome.ending, Ending::kComplete) << DescribeOutcome(outcome);
    EXPECT_EQ(written.parameters, 1);
    EXPECT_EQ(written.sectors, 1);
    EXPECT_EQ(Count(link::kSetParameter), 1u);
    EXPECT_EQ(Count(link::kEraseSector), 1u);
    EXPECT_EQ(Count(link::kWriteBlock), kSectorBlocks);
    // The read-back: the whole read for the backup, then the one key and the one sector.
    EXPECT_EQ(Count(link::kGetParameter), 16u + 1 + 1);  // the read's, "VSTR" among them
    EXPECT_EQ(Count(link::kReadBlock), 256u + 128 + kSectorBlocks);
    EXPECT_EQ(sim.Parameter("UPHN2"), "+3622");
    // What the device holds now is known whole: it is what the next write compares with.
    EXPECT_EQ(held.DifferingFrom(wanted, request.modeIndex, held.AckMask()), 0);
    EXPECT_EQ(settings::ValuesOf(readBack, request.modeIndex),
              settings::ValuesOf(wanted, request.modeIndex));
}

TEST_F(ChangesWriteTest, AWriteTheDeviceDidNotKeepIsCaughtByItsReadBack) {
    sim.ForgetSetsOf({"UPHN3"});
    wanted.Rule(settings::TableId::kPhoneNumbers).SetValue("T3", "+3633");
    wanted.InputGrid().SetCell(5, 1, "Changed");
    const SequenceOutcome outcome = Write();
    EXPECT_EQ(outcome.ending, Ending::kVerifyFailed);
    EXPECT_EQ(DescribeOutcome(outcome), "Verify failed: 1 setting differs");
    EXPECT_EQ(outcome.verify->differences.size(), 1u);
}

TEST_F(ChangesWriteTest, ACutSaysWhatTheDeviceHoldsAndAnIncompleteReadWritesNothing) {
    wanted.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "+3622");
    wanted.AlarmGrid().SetCell(1, 3, "131");
    sim.DisconnectAfter(kWholeRead + 5);
    SequenceOutcome outcome = Write();
    EXPECT_EQ(outcome.ending, Ending::kDetached);
    EXPECT_EQ(outcome.holds, DeviceHolds::kPartial);
    EXPECT_FALSE(outcome.backupPath.empty());

    sim.Plug();
    ASSERT_TRUE(test::WaitFor([&] { return connection.IsAttached(); }));
    // One answer lost in the read: what differs is not known.
    sim.DropNextAnswers(1);
    outcome = Write();
    EXPECT_EQ(outcome.ending, Ending::kNoBackup);
    EXPECT_EQ(outcome.backupError, settings::kBackupReadIncomplete);
    EXPECT_EQ(Count(link::kSetParameter), 1u) << "only the first run's";
}

}  // namespace
}  // namespace quelvar::exchange
