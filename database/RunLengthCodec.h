// The run-length format of compressed pixel data.
//
// A sequence of packets, each a control byte c with count n = (c >> 1) + 1
// (1-128):
//   c odd    one value byte follows; it stands for n copies of itself
//   c even   n literal bytes follow
// The packets encode all rows of a record, padding included, as one stream;
// a packet may cross the end of a row. Every control value is valid. Bytes
// past the end of the file read as 0xFF, control bytes included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace ferrovel {

struct RunLengthDecoder {
    enum class State { ExpectControl, Literal, Repeat };
    std::FILE* source = nullptr;
    State state = State::ExpectControl;
    int remaining = 0;         // bytes left in the current packet
    std::uint8_t saved = 0;    // the value of a repeat packet
    bool sourceEnded = false;  // a read has hit the end of the file
};

// Binds the decoder to a stream positioned at the compressed data.
void beginDecode(RunLengthDecoder& decoder, std::FILE* source);
// Decodes the next count bytes into out.
void decodeBytes(RunLengthDecoder& decoder, std::uint8_t* out, std::size_t count);
// True when every further byte is 0xFF: the file has ended and no packet with
// a value of its own is still running.
bool decoderExhausted(const RunLengthDecoder& decoder);
// Ends the use of the decoder; it holds nothing to release.
void endDecode(RunLengthDecoder& decoder);

// Greedy one-pass encoder of length input bytes into an output area of length
// bytes. Runs of two equal bytes start a repeat packet only at the start of a
// packet; inside a literal, only three equal bytes in a row break it. Returns
// the bytes written, or 0 when the encoding would be longer than length - 2
// (a closing two-byte packet for a lone last byte may reach length - 1). The
// length is a signed 16-bit count: 32768 bytes or more give 0 at once.
std::size_t encodeRuns(const std::uint8_t* input, std::size_t length, std::uint8_t* output);

}  // namespace ferrovel
