#include "convert/row_preview.h"

#include <memory>

#include "convert/text_encoding.h"
#include "platform/file_util.h"

namespace tarvel {

bool ReadPreviewHead(CPlatform& platform, const std::string& path, std::string* head, std::string* error) {
    head->clear();
    std::unique_ptr<CFile> file;
    Bytes bytes;
    CStatus status = platform.Open(path, OpenMode::kRead, &file);
    if (status) status = ReadMore(*file, &bytes, kPreviewBytes);
    if (!status) {
        *error = "cannot read " + path + ": " + status.Text();
        return false;
    }
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    TextEncoding encoding = SniffEncoding(raw);
    if (encoding == TextEncoding::kUtf16Le || encoding == TextEncoding::kUtf16Be) {
        // The same reading as the conversion's: the text, not the file's bytes, counts.
        CUtf16File text(std::move(file), encoding == TextEncoding::kUtf16Be, std::string(raw));
        Bytes decoded;
        if (CStatus decodedStatus = ReadMore(text, &decoded, kPreviewBytes); !decodedStatus) {
            *error = "cannot read " + path + ": " + decodedStatus.Text();
            return false;
        }
        bytes = std::move(decoded);
    }
    head->assign(bytes.begin(), bytes.end());
    return true;
}

CRowPreview PreviewRows(std::string_view head, const CConverter& job, int maxRows) {
    if (head.size() >= kPreviewBytes) {
        std::size_t end = head.find_last_of("\r\n");
        head = end == std::string_view::npos ? std::string_view() : head.substr(0, end + 1);
    }
    CRowPreview preview;
    CRowDecoder decoder(job);
    CDecodedRow decoded;
    int lineNumber = 0;
    int toSkip = job.m_bSkipOn ? job.m_nSkipRows : 0;
    std::size_t start = 0;
    while (start < head.size() && static_cast<int>(preview.m_rows.size()) < maxRows) {
        std::size_t end = head.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = head.size();
        std::string_view line = head.substr(start, end - start);
        start = end + 1;
        if (end < head.size() && head[end] == '\r' && start < head.size() && head[start] == '\n') ++start;
        ++lineNumber;
        if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        if (toSkip > 0) {
            --toSkip;
            continue;
        }
        decoder.Decode(line, line.size() > kMaxLineLength, &decoded);
        if (decoded.m_kind == CDecodedRow::Kind::kBlank) continue;
        CPreviewRow row;
        row.m_nLine = lineNumber;
        row.m_bSkipped = decoded.m_kind == CDecodedRow::Kind::kSkipped;
        row.m_strReason = decoded.m_strReason;
        row.m_nBadField = decoded.m_nBadField;
        row.m_bDateRead = decoded.m_bDateRead;
        row.m_date = decoded.m_date;
        for (int field = kOpen; field < kFieldCount; ++field) {
            if (!job.m_bFieldOn[field] || !decoded.m_bDateRead) continue;
            if (row.m_bSkipped && (row.m_nBadField == -1 || field >= row.m_nBadField)) continue;
            row.m_bValueRead[field] = true;
            row.m_value[field] = decoded.m_value[field];
        }
        preview.m_nSkipped += row.m_bSkipped ? 1 : 0;
        preview.m_rows.push_back(std::move(row));
    }
    return preview;
}

}  // namespace tarvel
