#pragma once
// Shared checks of the two event-table decoders: the grid cells they fill, and the image built
// back from that grid, against a layout worked out here byte by byte.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "settings/ImageFields.h"
#include "settings/StringGrid.h"

namespace quelvar::fuzz {

struct TextLayout {
    int column;
    std::size_t offset;
    std::size_t size;
};

struct RecordLayout {
    std::size_t recordSize;
    std::size_t targetsOffset;
    int firstCallColumn;
    int firstSmsColumn;
    std::span<const TextLayout> texts;
};

// Every cell of the grid, row by row.
inline std::vector<std::string> Cells(const settings::StringGrid& grid) {
    std::vector<std::string> cells;
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            cells.push_back(grid.Cell(col, row));
        }
    }
    return cells;
}

// The fixed cells: headers and row labels, which no image may change.
inline std::vector<std::string> FixedCells(const settings::StringGrid& grid) {
    std::vector<std::string> cells;
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            if (row < grid.FixedRows() || col < grid.FixedCols()) {
                cells.push_back(grid.Cell(col, row));
            }
        }
    }
    return cells;
}

inline void FillDataCells(settings::StringGrid& grid, const std::string& text) {
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        for (int col = grid.FixedCols(); col < grid.ColCount(); ++col) {
            grid.SetCell(col, row, text);
        }
    }
}

// The grid row decoded from `record`: each text up to its first zero and never longer than its
// field, each mark "X" exactly where its target bit is set.
inline void CheckDecodedRow(const settings::StringGrid& grid, int row,
                            std::span<const std::uint8_t> record, const RecordLayout& layout) {
    for (const TextLayout& text : layout.texts) {
        const std::string cell = grid.Cell(text.column, row);
        FUZZ_CHECK(cell.size() <= text.size);
        const auto field = record.subspan(text.offset, text.size);
        const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
        FUZZ_CHECK(std::equal(cell.begin(), cell.end(), field.begin(), end,
                              [](char c, std::uint8_t b) { return std::uint8_t(c) == b; }));
    }
    const std::uint8_t targets = record[layout.targetsOffset];
    for (int i = 0; i < 4; ++i) {
        const bool sms = (targets >> i & 1) != 0;
        const bool call = (targets >> (4 + i) & 1) != 0;
        FUZZ_CHECK(grid.Cell(layout.firstSmsColumn + i, row) == (sms ? settings::kMarkText : ""));
        FUZZ_CHECK(grid.Cell(layout.firstCallColumn + i, row) == (call ? settings::kMarkText : ""));
    }
}

// The record the grid row must build: its texts cut to leave a zero, zero padding, the targets
// byte from the non-empty mark cells, and nothing anywhere else.
inline std::vector<std::uint8_t> ExpectedRecord(const settings::StringGrid& grid, int row,
                                                const RecordLayout& layout) {
    std::vector<std::uint8_t> record(layout.recordSize, 0);
    for (const TextLayout& text : layout.texts) {
        const std::string cell = grid.Cell(text.column, row);
        const std::size_t n = std::min(cell.size(), text.size - 1);
        std::copy_n(cell.begin(), n, record.begin() + static_cast<std::ptrdiff_t>(text.offset));
    }
    std::uint8_t targets = 0;
    for (int i = 0; i < 4; ++i) {
        if (!grid.Cell(layout.firstSmsColumn + i, row).empty()) {
            targets |= static_cast<std::uint8_t>(1u << i);
        }
        if (!grid.Cell(layout.firstCallColumn + i, row).empty()) {
            targets |= static_cast<std::uint8_t>(1u << (4 + i));
        }
    }
    record[layout.targetsOffset] = targets;
    return record;
}

// The image built from the grid, record by record; records past `rowsUsed` stay zero.
inline void CheckBuiltImage(const settings::StringGrid& grid, std::span<const std::uint8_t> built,
                            std::size_t imageLength, std::size_t rowsUsed,
                            const RecordLayout& layout) {
    FUZZ_CHECK(built.size() == imageLength);
    for (std::size_t n = 0; n * layout.recordSize < built.size(); ++n) {
        const auto record = built.subspan(n * layout.recordSize, layout.recordSize);
        if (n >= rowsUsed) {
            FUZZ_CHECK(std::all_of(record.begin(), record.end(), [](auto b) { return b == 0; }));
            continue;
        }
        const std::vector<std::uint8_t> expected =
            ExpectedRecord(grid, static_cast<int>(n) + 1, layout);
        FUZZ_CHECK(std::equal(record.begin(), record.end(), expected.begin(), expected.end()));
    }
}

// The image the fuzzer's bytes stand for: cut or padded with erased bytes to the table's length.
inline std::vector<std::uint8_t> ImageOf(const std::uint8_t* data, std::size_t size,
                                         std::size_t length) {
    std::vector<std::uint8_t> image(length, 0xFF);
    std::copy_n(data, std::min(size, length), image.begin());
    return image;
}

}  // namespace quelvar::fuzz
