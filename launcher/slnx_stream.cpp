// The stream through which the XML reader reads an .slnx file. It hands the
// file over in the pieces the reader asks for, each read from the file as it
// is asked for, so that nothing but the reader's own buffer holds the text.
// On the way it keeps the rules that every XmlLite needs to be handed only
// whole, checked text:
//  - UTF-16 big endian is turned little endian, which every XmlLite reads;
//  - a piece ends on a whole character, after a one-byte character where
//    it can (PieceEnd); what it leaves out is read again for the next one;
//  - text holding a NUL character (which XML never holds, and which readers
//    take for the end of their buffer) is refused;
//  - a text shorter than the smallest solution is refused, so that no
//    reader is left with a byte-order mark and next to nothing after it;
//  - nothing past kSlnxMaxBytes of the file is read: there the text ends.
// A refused text ends too, and the stream says so; the caller stops
// reading it as soon as it sees that.
#include "slnx_stream.h"

#include <string.h>

namespace {

// The smallest solution, in units of its encoding.
const DWORD kSmallestSolutionUnits = sizeof("<Solution/>") - 1;

DWORD UnitBytes(int encoding) { return encoding == kSlnxUtf8 ? 1 : 2; }

// Reads up to size bytes of the file into buffer, going on after a short
// read until the file ends; stops at kSlnxMaxBytes. Sets ended when the file
// ended (or the bound was reached) before size bytes came.
DWORD ReadFromFile(SlnxStream* stream, BYTE* buffer, DWORD size) {
    DWORD filled = 0;
    while (filled < size && !stream->ended) {
        DWORD want = size - filled;
        if (want > kSlnxMaxBytes - stream->fileBytes) want = kSlnxMaxBytes - stream->fileBytes;
        DWORD got = 0;
        if (want == 0 || !ReadFile(stream->file, buffer + filled, want, &got, nullptr) || got == 0) {
            stream->ended = 1;
            break;
        }
        filled += got;
        stream->fileBytes += got;
    }
    return filled;
}

// How many of the piece's first bytes it hands out. A UTF-16 piece ends on
// a whole unit. A UTF-8 piece ends after its last one-byte character: a
// piece that ends inside a character of several bytes, or right after one,
// is misread by Wine's XmlLite, which takes the last byte for the start of
// a character still to come. A piece without any such character ends
// before a sequence that its lead byte says goes on past the piece; one
// that is no UTF-8 at all is left to the reader, which refuses it.
DWORD PieceEnd(const BYTE* piece, DWORD size, int encoding) {
    if (encoding != kSlnxUtf8) return size & ~static_cast<DWORD>(1);
    for (DWORD end = size; end > 0; --end) {
        if (piece[end - 1] < 0x80) return end;
    }
    for (DWORD back = 1; back <= 4 && back <= size; ++back) {
        const BYTE byte = piece[size - back];
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        DWORD length = 1;
        if ((byte & 0xE0) == 0xC0) length = 2;
        else if ((byte & 0xF0) == 0xE0) length = 3;
        else if ((byte & 0xF8) == 0xF0) length = 4;
        return length > back ? size - back : size;
    }
    return size;
}

// Turns big-endian units little endian and tells whether the piece holds a
// NUL character. The piece holds whole units.
int CheckPiece(BYTE* piece, DWORD size, int encoding) {
    if (encoding == kSlnxUtf8) return memchr(piece, 0, size) == nullptr;
    for (DWORD i = 0; i + 1 < size; i += 2) {
        if (encoding == kSlnxUtf16BigEndian) {
            const BYTE high = piece[i];
            piece[i] = piece[i + 1];
            piece[i + 1] = high;
        }
        if (piece[i] == 0 && piece[i + 1] == 0) return 0;
    }
    return 1;
}

}  // namespace

HRESULT STDMETHODCALLTYPE SlnxStream::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(ISequentialStream))) {
        *object = static_cast<ISequentialStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE SlnxStream::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs)); }

ULONG STDMETHODCALLTYPE SlnxStream::Release() { return static_cast<ULONG>(InterlockedDecrement(&refs)); }

// Whatever breaks a rule ends the text for good: the reader gets nothing
// more.
HRESULT STDMETHODCALLTYPE SlnxStream::Read(void* buffer, ULONG size, ULONG* got) {
    if (got) *got = 0;
    if (!buffer) return STG_E_INVALIDPOINTER;
    BYTE* piece = static_cast<BYTE*>(buffer);
    const DWORD filled = refused ? 0 : ReadFromFile(this, piece, size);
    // What a piece leaves out is read again for the next one; the end of
    // the text goes out as it is, and so does a piece that would hold
    // nothing else.
    DWORD end = filled;
    if (!ended) {
        end = PieceEnd(piece, filled, encoding);
        if (end == 0) end = filled;
    }
    LARGE_INTEGER back;
    back.QuadPart = -static_cast<LONGLONG>(filled - end);
    if (end < filled && !SetFilePointerEx(file, back, nullptr, FILE_CURRENT)) refused = 1;
    fileBytes -= filled - end;
    if (ended && given + end < kSmallestSolutionUnits * UnitBytes(encoding)) refused = 1;
    if (refused || !CheckPiece(piece, end, encoding)) {
        refused = 1;
        return S_FALSE;
    }
    given += end;
    if (got) *got = end;
    if (end == 0) {
        ++emptyReads;
        return S_FALSE;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SlnxStream::Write(const void*, ULONG, ULONG* written) {
    if (written) *written = 0;
    return STG_E_ACCESSDENIED;
}

int OpenSlnxStream(HANDLE file, SlnxStream* stream) {
    stream->refs = 1;
    stream->file = file;
    stream->encoding = kSlnxUtf8;
    stream->fileBytes = 0;
    stream->given = 0;
    stream->emptyReads = 0;
    stream->ended = 0;
    stream->refused = 0;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > kSlnxMaxBytes) return 0;
    // The mark is read again as the start of the text.
    BYTE head[3] = {0, 0, 0};
    DWORD got = 0;
    LARGE_INTEGER start;
    start.QuadPart = 0;
    if (!ReadFile(file, head, sizeof(head), &got, nullptr) ||
        !SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return 0;
    DWORD mark = 0;
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        stream->encoding = kSlnxUtf16;
        mark = 2;
    } else if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
        stream->encoding = kSlnxUtf16BigEndian;
        mark = 2;
    } else if (got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        mark = 3;
    }
    return size.QuadPart - mark >= kSmallestSolutionUnits * UnitBytes(stream->encoding);
}
