#include "database/ImageEdit.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <set>

#include "database/Append.h"
#include "database/ByteStream.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/ImageRecord.h"

namespace ferrovel {
namespace {

constexpr std::uint64_t kMaxRenamedRecord = 64u * 1024 * 1024;  // far beyond any tile record

enum class EditKind { Delete, Rename, Move };

struct EditRequest {
    EditKind kind = EditKind::Delete;
    std::vector<std::int16_t> indices;
    std::string name;
    std::int16_t to = 0;
};

// Where one record of the old file lies. Records carry no length: a record
// ends where the next record in the file starts, the last one at the end.
struct OldRecord {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint32_t attributes = 0;
    std::string label;
};

struct Layout {
    std::vector<OldRecord> records;
    std::vector<std::size_t> imageStarts;  // the starting record of each image
    std::uint64_t listEnd = 0;             // end of the old record list
    std::uint64_t bodyStart = 0;           // where the first record starts
};

std::vector<std::uint32_t> readAttributes(std::FILE* database, std::size_t count) {
    std::vector<std::uint8_t> entries(count * kRecordEntryBytes);
    seekTo(database, kHeaderBytes);
    readBytes(database, entries.data(), entries.size());
    std::vector<std::uint32_t> attributes(count);
    for (std::size_t i = 0; i < count; ++i) {
        attributes[i] = loadU32BE(&entries[i * kRecordEntryBytes + 4]);
    }
    return attributes;
}

Layout readLayout(std::FILE* database, std::uint64_t fileSize) {
    Layout layout;
    layout.listEnd = recordListEnd(database);
    std::vector<RecordInfo> infos = readAllRecordInfo(database);
    const std::vector<std::uint32_t> attributes = readAttributes(database, infos.size());
    std::vector<std::uint64_t> starts;
    for (const RecordInfo& info : infos) starts.push_back(std::min(info.start, fileSize));
    std::sort(starts.begin(), starts.end());
    layout.bodyStart = std::max(layout.listEnd, starts.empty() ? fileSize : starts.front());
    for (std::size_t i = 0; i < infos.size(); ++i) {
        OldRecord record;
        record.start = std::min(infos[i].start, fileSize);
        const auto next = std::upper_bound(starts.begin(), starts.end(), record.start);
        record.end = next == starts.end() ? fileSize : *next;
        record.attributes = attributes[i];
        record.label = std::move(infos[i].label);
        if (!isContinuationRecord(parseTileLabel(record.label))) layout.imageStarts.push_back(i);
        layout.records.push_back(std::move(record));
    }
    return layout;
}

// The records of image k, as [first, last).
std::pair<std::size_t, std::size_t> imageRecords(const Layout& layout, std::size_t k) {
    const std::size_t last =
        k + 1 < layout.imageStarts.size() ? layout.imageStarts[k + 1] : layout.records.size();
    return {layout.imageStarts[k], last};
}

bool namesImage(const Layout& layout, std::int16_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < layout.imageStarts.size();
}

// The records in their new order: first those of no image, then the images.
std::vector<std::size_t> newOrder(const Layout& layout, const EditRequest& edit) {
    std::vector<std::size_t> images(layout.imageStarts.size());
    for (std::size_t k = 0; k < images.size(); ++k) images[k] = k;
    if (edit.kind == EditKind::Delete) {
        const std::set<std::int16_t> gone(edit.indices.begin(), edit.indices.end());
        std::erase_if(images,
                      [&](std::size_t k) { return gone.count(static_cast<std::int16_t>(k)); });
    } else if (edit.kind == EditKind::Move) {
        const std::size_t from = static_cast<std::size_t>(edit.indices.front());
        images.erase(images.begin() + static_cast<std::ptrdiff_t>(from));
        images.insert(images.begin() + edit.to, from);
    }
    std::vector<std::size_t> order;
    const std::size_t stray =
        layout.imageStarts.empty() ? layout.records.size() : layout.imageStarts.front();
    for (std::size_t i = 0; i < stray; ++i) order.push_back(i);
    for (const std::size_t k : images) {
        const auto [first, last] = imageRecords(layout, k);
        for (std::size_t i = first; i < last; ++i) order.push_back(i);
    }
    return order;
}

std::vector<std::uint8_t> readSpan(std::FILE* database, std::uint64_t start, std::uint64_t end) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end - start));
    seekTo(database, start);
    readBytes(database, bytes.data(), bytes.size());
    return bytes;
}

// The record with the name part of its label replaced; empty with a status
// when the label does not lie inside the record.
std::int16_t renamedRecord(std::FILE* database, const OldRecord& record, const std::string& name,
                           std::vector<std::uint8_t>& out) {
    if (record.end - record.start > kMaxRenamedRecord) return kAppendNoWorkBuffer;
    std::vector<std::uint8_t> bytes = readSpan(database, record.start, record.end);
    if (bytes.size() < 20) return kEditLabelOutsideRecord;
    const std::uint64_t labelOffset = loadU32BE(&bytes[16]);
    if (labelOffset >= bytes.size()) return kEditLabelOutsideRecord;
    const auto labelBegin = bytes.begin() + static_cast<std::ptrdiff_t>(labelOffset);
    const auto zero = std::find(labelBegin, bytes.end(), std::uint8_t{0});
    // The kept parts are the stored bytes themselves, not the text as read.
    const std::size_t keep = labelNameStart(record.label, parseTileLabel(record.label));
    out.assign(bytes.begin(), labelBegin + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                               keep, static_cast<std::size_t>(zero - labelBegin))));
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    if (zero != bytes.end()) out.insert(out.end(), zero + 1, bytes.end());
    return 0;
}

// The new header, record count and entries.
std::vector<std::uint8_t> newRecordList(std::FILE* database, const Layout& layout,
                                        const std::vector<std::size_t>& order,
                                        const std::vector<std::uint64_t>& sizes) {
    const std::uint64_t listEnd = kHeaderBytes + std::uint64_t{kRecordEntryBytes} * order.size();
    std::vector<std::uint8_t> list(static_cast<std::size_t>(listEnd));
    seekTo(database, 0);
    readBytes(database, list.data(), 76);
    for (const std::size_t field : {std::size_t{52}, std::size_t{56}}) {
        const std::uint32_t offset = loadU32BE(&list[field]);
        // A 32-bit field: the shift, even a negative one, wraps as the field does.
        if (offset != 0)
            storeU32BE(&list[field], static_cast<std::uint32_t>(offset + listEnd - layout.listEnd));
    }
    list[76] = static_cast<std::uint8_t>(order.size() >> 8);
    list[77] = static_cast<std::uint8_t>(order.size());
    std::uint64_t offset = listEnd + (layout.bodyStart - layout.listEnd);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::size_t entry = kHeaderBytes + i * kRecordEntryBytes;
        storeU32BE(&list[entry], static_cast<std::uint32_t>(offset));
        storeU32BE(&list[entry + 4], layout.records[order[i]].attributes);
        offset += sizes[i];
    }
    return list;
}

std::int16_t checkRequest(const Layout& layout, const EditRequest& edit) {
    for (const std::int16_t index : edit.indices) {
        if (!namesImage(layout, index)) return kEditNoSuchImage;
    }
    if (edit.kind == EditKind::Move && !namesImage(layout, edit.to)) return kEditNoSuchImage;
    return edit.indices.empty() ? kEditNoSuchImage : std::int16_t{0};
}

std::int16_t writeEditedDatabase(const EditRequest& edit, std::FILE* database, std::FILE* work) {
    if (!isImageDatabase(database)) return kAppendNotImageDatabase;
    const std::int64_t fileSize = streamSize(database);
    if (fileSize < 0) return kAppendWorkFileUnreadable;
    const Layout layout = readLayout(database, static_cast<std::uint64_t>(fileSize));
    if (const std::int16_t refused = checkRequest(layout, edit)) return refused;
    const std::vector<std::size_t> order = newOrder(layout, edit);
    std::vector<std::vector<std::uint8_t>> renamed(layout.records.size());
    if (edit.kind == EditKind::Rename) {
        const auto [first, last] =
            imageRecords(layout, static_cast<std::size_t>(edit.indices.front()));
        for (std::size_t i = first; i < last; ++i) {
            if (const std::int16_t status =
                    renamedRecord(database, layout.records[i], edit.name, renamed[i])) {
                return status;
            }
        }
    }
    std::vector<std::uint64_t> sizes;
    for (const std::size_t i : order) {
        const OldRecord& record = layout.records[i];
        sizes.push_back(renamed[i].empty() ? record.end - record.start : renamed[i].size());
    }
    const std::vector<std::uint8_t> list = newRecordList(database, layout, order, sizes);
    bool written = writeWorkBytes(work, list.data(), list.size()) &&
                   copySpanToWork(database, layout.listEnd, layout.bodyStart, work);
    for (std::size_t n = 0; written && n < order.size(); ++n) {
        const std::size_t i = order[n];
        written = renamed[i].empty() ? copySpanToWork(database, layout.records[i].start,
                                                      layout.records[i].end, work)
                                     : writeWorkBytes(work, renamed[i].data(), renamed[i].size());
    }
    return written ? std::int16_t{0} : kAppendDatabaseUnwritable;
}

std::int16_t writeEdited(void* context, std::FILE* database, std::FILE* work) {
    try {
        return writeEditedDatabase(*static_cast<const EditRequest*>(context), database, work);
    } catch (const std::bad_alloc&) {
        return kAppendNoWorkBuffer;
    }
}

std::int16_t edit(const std::string& path, EditRequest request, RewriteReport* report) {
    return rewriteDatabase(path, RewriteMode::ExistingDatabase, writeEdited, &request, report);
}

}  // namespace

std::int16_t deleteImages(const std::string& path, const std::vector<std::int16_t>& indices,
                          RewriteReport* report) {
    return edit(path, EditRequest{EditKind::Delete, indices, {}, 0}, report);
}

std::int16_t renameImage(const std::string& path, std::int16_t index, const std::string& name,
                         RewriteReport* report) {
    // A zero byte would end the label early.
    const std::string stored = name.substr(0, std::min(name.find('\0'), kMaxImageNameChars));
    return edit(path, EditRequest{EditKind::Rename, {index}, stored, 0}, report);
}

std::int16_t moveImage(const std::string& path, std::int16_t index, std::int16_t to,
                       RewriteReport* report) {
    return edit(path, EditRequest{EditKind::Move, {index}, {}, to}, report);
}

}  // namespace ferrovel
