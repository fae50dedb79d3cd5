// A write of only what differs from what the device holds, read just before: the parameters one
// by one and single sectors of the event tables, then a read-back of exactly those.

#include <algorithm>

#include "exchange/SequenceSteps.h"
#include "exchange/Sequences.h"
#include "settings/BackupStore.h"
#include "settings/SettingsFile.h"

namespace quelvar::exchange {

namespace {

using settings::EventTable;
using settings::SettingsModel;
using settings::TableId;

struct ParameterChange {
    std::string key;
    std::string value;
    std::optional<TableId> table;  // nothing: the mode
    std::string caption;
};

struct TableChange {
    const EventTable* table;
    std::vector<std::uint8_t> image;   // the whole image wanted
    std::vector<std::size_t> sectors;  // offsets of those that differ
};

std::vector<ParameterChange> ParameterChanges(const SettingsModel& wanted, int wantedMode,
                                              const SettingsModel& device, int deviceMode) {
    std::vector<ParameterChange> changes;
    for (const TableId id : settings::kWriteBackOrder) {
        wanted.Rule(id).ForEachRow([&](const std::string& caption, const std::string& key) {
            const std::string value = wanted.Rule(id).GetValue(caption);
            if (value != device.Rule(id).GetValue(caption)) {
                changes.push_back({key, value, id, caption});
            }
        });
    }
    if (std::string(settings::ModeName(wantedMode)) != settings::ModeName(deviceMode)) {
        changes.push_back(
            {std::string(settings::kModeKey), settings::ModeName(wantedMode), std::nullopt, {}});
    }
    return changes;
}

TableChange SectorChanges(const EventTable& table, const settings::StringGrid& wanted,
                          const settings::StringGrid& device) {
    TableChange change{&table, table.build(wanted), {}};
    const std::vector<std::uint8_t> held = table.build(device);
    for (std::size_t offset = 0; offset < change.image.size(); offset += kEraseStep) {
        const std::size_t end = std::min<std::size_t>(offset + kEraseStep, change.image.size());
        if (!std::equal(change.image.begin() + static_cast<std::ptrdiff_t>(offset),
                        change.image.begin() + static_cast<std::ptrdiff_t>(end),
                        held.begin() + static_cast<std::ptrdiff_t>(offset))) {
            change.sectors.push_back(offset);
        }
    }
    return change;
}

settings::StringGrid& GridOf(SettingsModel& model, const EventTable& table) {
    return &table == &settings::kAlarmTable ? model.AlarmGrid() : model.InputGrid();
}

// Reads back what was written into `device` (which held the device's settings before), so that it
// holds what the device holds now; the read as a verify's read says it.
ReadAllResult ReadBack(DeviceSession& session, const std::vector<ParameterChange>& parameters,
                       std::vector<TableChange>& tables, SettingsModel& device, int deviceMode) {
    ReadAllResult read;
    read.modeIndex = deviceMode;
    read.alarms = read.inputs = EventReadOutcome::kRead;
    for (const ParameterChange& change : parameters) {
        const std::optional<std::string> value = session.Get(change.key);
        if (!value) {
            read.unansweredKeys.push_back(change.key);
        } else if (change.table) {
            device.Rule(*change.table).SetValue(change.caption, *value);
        } else {
            read.modeIndex = settings::ModeIndexOfName(*value);
        }
    }
    for (TableChange& change : tables) {
        std::vector<std::uint8_t> image = change.table->build(GridOf(device, *change.table));
        const bool whole = session.ReadSectors(*change.table, change.sectors, image);
        if (whole) {
            // Filled into an empty grid: a fill sets only what the image holds.
            SettingsModel fresh;
            change.table->fill(GridOf(fresh, *change.table), image);
            settings::StringGrid& grid = GridOf(device, *change.table);
            const settings::StringGrid& readGrid = GridOf(fresh, *change.table);
            for (int row = 1; row < grid.RowCount(); ++row) {
                for (int col = 1; col < grid.ColCount(); ++col) {
                    grid.SetCell(col, row, readGrid.Cell(col, row));
                }
            }
        }
        EventReadOutcome& outcome =
            change.table == &settings::kAlarmTable ? read.alarms : read.inputs;
        outcome = whole ? EventReadOutcome::kRead : EventReadOutcome::kFailed;
    }
    return read;
}

}  // namespace

SequenceOutcome RunChangesWrite(DeviceSession& session, const WriteRequest& request,
                                const BackupRequest& backup, settings::HeldSettings& held,
                                SettingsModel& device, ChangesWritten& written) {
    SequenceOutcome outcome;
    outcome.stopCause = request.stopCause;
    const ReadAllResult read = session.ReadEverything(device);
    if (NoteCut(session, DeviceHolds::kUnchanged, outcome)) {
        return outcome;
    }
    if (read.firmwareVersion) {
        held.SetFirmware(*read.firmwareVersion);
    }
    held.NoteDeviceRead(device, read.modeIndex, read.Complete());
    written.accountBefore = settings::AccountIdOf(device);
    if (!read.Complete()) {
        // What differs is not known: nothing is written.
        outcome.ending = Ending::kNoBackup;
        outcome.backupError = settings::kBackupReadIncomplete;
        return outcome;
    }
    if (!TakeBackup(session, backup, held, outcome)) {
        return outcome;
    }
    const SettingsModel& wanted = *request.settings;
    const std::vector<ParameterChange> parameters =
        ParameterChanges(wanted, request.modeIndex, device, read.modeIndex);
    std::vector<TableChange> tables;
    for (const auto& [table, grid, heldGrid] :
         {std::tuple{&settings::kAlarmTable, &wanted.AlarmGrid(), &device.AlarmGrid()},
          std::tuple{&settings::kInputTable, &wanted.InputGrid(), &device.InputGrid()}}) {
        TableChange change = SectorChanges(*table, *grid, *heldGrid);
        if (!change.sectors.empty()) {
            tables.push_back(std::move(change));
        }
    }
    written.parameters = static_cast<int>(parameters.size());
    for (const TableChange& change : tables) {
        written.sectors += static_cast<int>(change.sectors.size());
    }

    if (!written.Nothing()) {
        held.Overwriting();
        std::vector<std::pair<std::string, std::string>> sets;
        for (const ParameterChange& change : parameters) {
            sets.emplace_back(change.key, change.value);
        }
        const UnansweredTally sent = session.WriteParameterList(sets);
        outcome.tally.sets = sent.sets;
        outcome.tally.tooLongKeys = sent.tooLongKeys;
        for (const TableChange& change : tables) {
            const MemoryWriteResult result =
                session.WriteSectors(*change.table, change.image, change.sectors);
            outcome.tally.memoryRequests += result.unanswered;
            if (!outcome.tally.firstMemoryAddress) {
                outcome.tally.firstMemoryAddress = result.firstUnansweredAddress;
            }
        }
        if (NoteCut(session, DeviceHolds::kPartial, outcome)) {
            return outcome;
        }
    }

    VerifyResult check;
    check.read = ReadBack(session, parameters, tables, device, read.modeIndex);
    if (NoteCut(session, DeviceHolds::kWrittenNotVerified, outcome)) {
        return outcome;
    }
    check.deviceValues = settings::ValuesOf(device, check.read.modeIndex);
    check.differences = settings::CompareSettings(
        request.expected.empty() ? settings::ValuesOf(wanted, request.modeIndex) : request.expected,
        check.deviceValues);
    if (check.Complete()) {
        held.Remember(check.deviceValues, check.read.modeIndex, held.AckMask());
        held.NoteDeviceRead(device, check.read.modeIndex, true);
    }
    const bool unanswered = !outcome.tally.Clean();
    if (!check.Complete()) {
        outcome.ending = unanswered ? Ending::kUnanswered : Ending::kNotVerified;
    } else if (check.Differing() > 0 || !outcome.tally.tooLongKeys.empty()) {
        outcome.ending = unanswered ? Ending::kUnanswered : Ending::kVerifyFailed;
    } else if (unanswered) {
        outcome.ending = Ending::kUnanswered;
    }
    outcome.verify = std::move(check);
    outcome.holds =
        outcome.ending == Ending::kComplete ? DeviceHolds::kAsWritten : DeviceHolds::kPartial;
    return outcome;
}

}  // namespace quelvar::exchange
