// The whole sequences both programs run, against the simulator in process: each way a write or a
// password change can end, what it leaves sent, and the one sentence that says it.

#include "exchange/Sequences.h"

#include <gtest/gtest.h>

#include "exchange/ExchangeFixture.h"
#include "support/SettingsFiles.h"

namespace quelvar::exchange {
namespace {

using namespace std::chrono_literals;

// The commands of each part of a write-back on the simulator's settings: a whole read (the
// backup's and the verify's) and the writes.
constexpr std::size_t kWholeRead = 401;
constexpr std::size_t kWrites = 403;

// Sets the row whose key this is, in whichever table holds it.
void SetKey(settings::SettingsModel& model, const std::string& key, const std::string& value) {
    for (const settings::TableId id : settings::kLogInReadOrder) {
        settings::TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& rowKey) {
            if (rowKey == key) {
                table.SetValue(caption, value);
            }
        });
    }
}

class SequencesTest : public ExchangeFixture {
  protected:
    void SetUp() override {
        ExchangeFixture::SetUp();
        Attach();
        backup.store = &store;
        // What the window shows after its log-in: the device's settings, one of them edited.
        DeviceSession session(exchange);
        const ReadAllResult read = session.ReadEverything(shown);
        ASSERT_TRUE(read.Complete());
        SetKey(shown, "UPHN1", "+3699");
        request.settings = &shown;
        request.modeIndex = read.modeIndex;
        request.ackMask = read.ackMask;
        sim.ClearCommands();
    }

    SequenceOutcome Write(std::chrono::milliseconds silence = 0ms) {
        DeviceSession session(exchange, {}, silence, stopRequested);
        return RunWrite(session, request, backup, held, readBack);
    }

    std::size_t Sets() const { return CommandsWithCode(link::kSetParameter).size(); }

    test::TempDir dir;
    settings::BackupStore store{dir.path / "backups"};
    BackupRequest backup;
    WriteRequest request;
    settings::HeldSettings held;
    settings::SettingsModel shown;
    settings::SettingsModel readBack;
    std::function<bool()> stopRequested;
};

TEST_F(SequencesTest, AWriteBackReadsItsBackupWritesAndVerifiesInOneSession) {
    const SequenceOutcome outcome = Write();
    EXPECT_EQ(outcome.ending, Ending::kComplete);
    EXPECT_EQ(DescribeOutcome(outcome), "Written and verified");
    EXPECT_EQ(sim.CommandCount(), kWholeRead + kWrites + kWholeRead);
    EXPECT_EQ(sim.Parameter("UPHN1"), "+3699");
    // The backup holds what the device held before: the edit is not in it.
    ASSERT_EQ(store.List().size(), 1u);
    EXPECT_EQ(outcome.backupPath, store.List()[0].path.string());
    EXPECT_EQ(test::ReadBytes(outcome.backupPath).find("+3699"), std::string::npos);
    // The verify's read-back is what the device now holds, so the next backup reads nothing.
    EXPECT_TRUE(held.Known());
    EXPECT_FALSE(held.BackupStale());
    EXPECT_EQ(held.DifferingFrom(shown, request.modeIndex, request.ackMask), 0);
    sim.ClearCommands();
    EXPECT_EQ(Write().ending, Ending::kComplete);
    EXPECT_EQ(sim.CommandCount(), kWrites + kWholeRead);
    EXPECT_EQ(store.List().size(), 2u);
}

TEST_F(SequencesTest, AVerifyThatFindsTheDeviceDidNotKeepAWriteSaysHowMany) {
    sim.ForgetSetsOf({"UPHN1", "SFWN"});
    SetKey(shown, "SFWN", "+3688");
    const SequenceOutcome outcome = Write();
    EXPECT_EQ(outcome.ending, Ending::kVerifyFailed);
    EXPECT_EQ(DescribeOutcome(outcome), "Verify failed: 2 settings differ");
    ASSERT_TRUE(outcome.verify);
    EXPECT_EQ(outcome.verify->differences.size(), 2u);
    // What the device holds is known, and differs from what is shown.
    EXPECT_FALSE(held.Uncertain());
    EXPECT_EQ(held.DifferingFrom(shown, request.modeIndex, request.ackMask), 2);
}

TEST_F(SequencesTest, ACutSaysWhereAndWhatTheDeviceHoldsAndSendsNothingMore) {
    struct Cut {
        std::size_t after;  // commands answered before the cable comes out
        DeviceHolds holds;
        const char* sentence;
    };
    const Cut cuts[] = {
        {10, DeviceHolds::kUnchanged,
         "The device went away while reading settings: nothing on it was changed"},
        {kWholeRead + 20, DeviceHolds::kPartial,
         "The device went away while writing the alarm table: it holds a partial "
         "configuration"},
        {kWholeRead + kWrites + 5, DeviceHolds::kWrittenNotVerified,
         "The device went away while reading settings: everything was written, not verified"},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.sentence);
        sim.Plug();
        ASSERT_TRUE(test::WaitFor([&] { return connection.IsAttached(); }));
        held.Forget();
        sim.ClearCommands();
        sim.DisconnectAfter(cut.after);
        const SequenceOutcome outcome = Write(10s);
        EXPECT_EQ(outcome.ending, Ending::kDetached);
        EXPECT_EQ(outcome.holds, cut.holds);
        EXPECT_EQ(DescribeOutcome(outcome), cut.sentence);
        EXPECT_EQ(sim.CommandCount(), cut.after);
        if (cut.holds == DeviceHolds::kUnchanged) {
            EXPECT_EQ(Sets(), 0u);
            EXPECT_TRUE(store.List().empty());
        } else {
            // Once anything was written, what the device holds is not known until read.
            EXPECT_TRUE(held.Uncertain());
            EXPECT_TRUE(held.BackupStale());
        }
    }
}

TEST_F(SequencesTest, SilenceAndAStopAreSaidInTheirOwnWords) {
    sim.StopAnswering(kWholeRead + 3);
    const SequenceOutcome silent = Write(300ms);
    EXPECT_EQ(silent.ending, Ending::kSilent);
    EXPECT_EQ(DescribeOutcome(silent),
              "The device stopped answering while writing settings (nothing for 3 s): it holds a "
              "partial configuration");
    sim.AnswerAgain();

    int commands = 0;
    stopRequested = [&] { return ++commands > 3; };
    request.stopCause = StopCause::kSignal;
    held.Forget();
    const SequenceOutcome stopped = Write();
    EXPECT_EQ(stopped.ending, Ending::kStopped);
    EXPECT_EQ(DescribeOutcome(stopped),
              "Interrupted while reading settings: nothing on it was changed");
    request.stopCause = StopCause::kReplug;
    EXPECT_EQ(DescribeOutcome(Write()),
              "The device was replugged while reading settings: nothing on it was changed");
}

TEST_F(SequencesTest, WithoutABackupNothingIsWrittenUnlessTheCallerGoesOn) {
    test::WriteBytes(dir.File("backups"), "a file where the folder belongs");
    const SequenceOutcome refused = Write();
    EXPECT_EQ(refused.ending, Ending::kNoBackup);
    EXPECT_EQ(DescribeOutcome(refused).rfind("Nothing was written: no backup (", 0), 0u);
    EXPECT_EQ(Sets(), 0u);

    std::string asked;
    backup.goOnWithout = [&](const std::string& why) {
        asked = why;
        return true;
    };
    const SequenceOutcome forced = Write();
    EXPECT_EQ(forced.ending, Ending::kComplete);
    EXPECT_FALSE(asked.empty());
    EXPECT_EQ(forced.backupError, asked);
    EXPECT_EQ(sim.Parameter("UPHN1"), "+3699");
}

TEST_F(SequencesTest, AFileWriteKeepsTheDevicesOwnAcknowledgementMarks) {
    request.steps = kFileWriteSteps;
    request.ackMask = "0110";  // what a file cannot hold: the device's marks are read instead
    sim.SetParameter("GACK", "0011");
    EXPECT_EQ(Write().ending, Ending::kComplete);
    EXPECT_EQ(sim.Parameter("GACK"), "0011");

    sim.IgnoreCommand(link::kGetParameter);
    request.steps = {WriteStep::kReadAckMarks, WriteStep::kWriteSettings};
    const SequenceOutcome unanswered = Write();
    EXPECT_EQ(unanswered.ending, Ending::kNoAckMarks);
    EXPECT_EQ(DescribeOutcome(unanswered),
              "The device did not answer the request for GACK; nothing was written");
}

TEST_F(SequencesTest, APasswordChangeIsReadBack) {
    const long long encoded = *EncodePassword("4711");
    {
        DeviceSession session(exchange);
        const SequenceOutcome changed = ChangePassword(session, encoded);
        EXPECT_EQ(changed.ending, Ending::kComplete);
        EXPECT_EQ(DescribeOutcome(changed), "Password changed");
    }
    sim.ForgetSetsOf({"PW"});
    {
        DeviceSession session(exchange);
        const SequenceOutcome kept = ChangePassword(session, *EncodePassword("1234"));
        EXPECT_EQ(kept.ending, Ending::kOtherPassword);
        EXPECT_EQ(DescribeOutcome(kept),
                  "The device confirmed the new password but holds another one");
    }
    sim.IgnoreCommand(link::kSetParameter);
    {
        DeviceSession session(exchange);
        const SequenceOutcome unconfirmed = ChangePassword(session, encoded);
        EXPECT_EQ(unconfirmed.ending, Ending::kNotConfirmed);
        EXPECT_EQ(unconfirmed.holds, DeviceHolds::kPasswordUnknown);
    }
    // A session that failed sends no password and says it sent none.
    sim.DisconnectAfter(0);
    DeviceSession session(exchange, {}, 10s);
    EXPECT_EQ(session.Get("VSTR"), std::nullopt);
    sim.ClearCommands();
    EXPECT_EQ(session.SetPassword(encoded), SetOutcome::kNotSent);
    EXPECT_EQ(sim.CommandCount(), 0u);
}

TEST(HeldSettings, KnowsWhatTheDeviceHoldsOnlyUntilAnOverwrite) {
    settings::SettingsModel model;
    SetKey(model, "ACCID", "12AB");
    settings::HeldSettings held;
    EXPECT_FALSE(held.Known());
    EXPECT_EQ(held.DifferingFrom(model, 0, ""), 0);
    held.Remember(model, 0, "1000");
    EXPECT_EQ(held.DifferingFrom(model, 0, "1000"), 0);
    EXPECT_EQ(held.DifferingFrom(model, 1, "1000"), 1);  // the mode
    EXPECT_EQ(held.DifferingFrom(model, 0, "0000"), 1);  // the marks
    EXPECT_EQ(held.AccountId(), "12AB");

    // After an overwrite the account ID is the last whole read's, and a backup needs a read.
    settings::SettingsModel before;
    SetKey(before, "ACCID", "34CD");
    held.NoteDeviceRead(before, 0, true);
    held.Overwriting();
    EXPECT_EQ(held.AccountId(), "34CD");
    test::TempDir dir;
    settings::BackupStore store(dir.path);
    EXPECT_EQ(held.SaveBackup(store).error, settings::kBackupReadIncomplete);
    held.NoteDeviceRead(before, 0, false);
    EXPECT_TRUE(held.BackupStale());
    held.NoteDeviceRead(before, 0, true);
    EXPECT_TRUE(held.SaveBackup(store).Saved());
}

}  // namespace
}  // namespace quelvar::exchange
