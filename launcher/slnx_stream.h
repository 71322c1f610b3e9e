// An .slnx file handed to the XML reader in pieces, straight from the open
// file: the reader holds one piece at a time, whatever the file's size.
#pragma once

#include "KalBase32.h"

#include <objidl.h>

// No solution anyone wrote comes near this size; a larger file is no
// solution, and a file that grows past it while being read is read no
// further.
const DWORD kSlnxMaxBytes = 16 * 1024 * 1024;

// How the file's text is written, told by its byte-order mark.
enum SlnxEncoding { kSlnxUtf8, kSlnxUtf16, kSlnxUtf16BigEndian };

// The stream the reader is given. It lives on its caller's stack, so its
// references are counted but never free it: the caller lets go of the
// reader before the stream's scope ends.
struct SlnxStream : public ISequentialStream {
    LONG refs;
    HANDLE file;         // open for reading, at the text's start
    int encoding;        // SlnxEncoding
    DWORD fileBytes;     // read from the file so far
    DWORD given;         // handed to the reader so far
    DWORD emptyReads;    // reads answered with nothing, the text having ended
    int ended;           // the file (or kSlnxMaxBytes of it) has been read to its end
    int refused;         // the text broke a rule of the stream; nothing more is handed out

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* got) override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override;
};

// Sets the stream up over file, read from its start: reads the byte-order
// mark and tells the encoding. The file's pointer must be movable: pieces
// are read from it one after the other, and what a piece leaves out is
// read again.
// Returns 0 when the file cannot hold a solution: larger than
// kSlnxMaxBytes, or shorter than the smallest one, <Solution/>, after its
// mark.
int OpenSlnxStream(HANDLE file, SlnxStream* stream);
