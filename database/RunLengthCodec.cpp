#include "database/RunLengthCodec.h"

#include <algorithm>
#include <cstring>

#include "database/ByteStream.h"

namespace ferrovel {
namespace {

std::uint8_t readSourceByte(RunLengthDecoder& decoder) {
    const int c = std::getc(decoder.source);
    if (c == EOF) {
        decoder.sourceEnded = true;
        return 0xFF;
    }
    return static_cast<std::uint8_t>(c);
}

// Reads a control byte and sets up its packet.
void startPacket(RunLengthDecoder& decoder) {
    const std::uint8_t control = readSourceByte(decoder);
    decoder.remaining = (control >> 1) + 1;
    if (control & 1) {
        decoder.saved = readSourceByte(decoder);
        decoder.state = RunLengthDecoder::State::Repeat;
    } else {
        decoder.state = RunLengthDecoder::State::Literal;
    }
}

void finishBytes(RunLengthDecoder& decoder, int count) {
    decoder.remaining -= count;
    if (decoder.remaining == 0) decoder.state = RunLengthDecoder::State::ExpectControl;
}

}  // namespace

void beginDecode(RunLengthDecoder& decoder, std::FILE* source) {
    decoder = RunLengthDecoder{};
    decoder.source = source;
}

void decodeBytes(RunLengthDecoder& decoder, std::uint8_t* out, std::size_t count) {
    while (count > 0) {
        if (decoder.state == RunLengthDecoder::State::ExpectControl) startPacket(decoder);
        const int chunk = static_cast<int>(
            std::min<std::size_t>(count, static_cast<std::size_t>(decoder.remaining)));
        if (decoder.state == RunLengthDecoder::State::Repeat) {
            std::memset(out, decoder.saved, static_cast<std::size_t>(chunk));
        } else {
            const std::size_t got = readBytes(decoder.source, out, static_cast<std::size_t>(chunk));
            if (got < static_cast<std::size_t>(chunk)) decoder.sourceEnded = true;
        }
        finishBytes(decoder, chunk);
        out += chunk;
        count -= static_cast<std::size_t>(chunk);
    }
}

bool decoderExhausted(const RunLengthDecoder& decoder) {
    if (!decoder.sourceEnded) return false;
    return decoder.state != RunLengthDecoder::State::Repeat || decoder.saved == 0xFF;
}

void endDecode(RunLengthDecoder& decoder) {
    decoder.source = nullptr;
}

}  // namespace ferrovel

namespace ferrovel {
namespace {

constexpr std::size_t kMaxEncodedInput = 32767;
constexpr std::uint8_t kFullRepeat = 255;   // repeat control byte of count 128
constexpr std::uint8_t kFullLiteral = 254;  // literal control byte of count 128

// The output being written, with the room limit that makes the encoder give up.
struct EncodeOutput {
    std::uint8_t* bytes;
    std::size_t length = 0;
    std::size_t room;  // at most this many bytes, but for a closing lone byte
    bool full = false;

    // True when count more bytes fit under limit; otherwise marks the output full.
    bool reserve(std::size_t count, std::size_t limit) {
        if (length + count > limit) full = true;
        return !full;
    }
};

// Extends the repeat packet whose control byte is at control with the bytes
// equal to value that follow; returns the input position after them.
std::size_t extendRepeat(const std::uint8_t* input, std::size_t at, std::size_t end,
                         std::uint8_t& control, std::uint8_t value) {
    while (at < end && input[at] == value && control < kFullRepeat) {
        control = static_cast<std::uint8_t>(control + 2);
        ++at;
    }
    return at;
}

std::size_t encodeLiteral(const std::uint8_t* input, std::size_t at, std::size_t end,
                          EncodeOutput& out) {
    const std::size_t control = out.length;
    out.bytes[out.length++] = 2;
    out.bytes[out.length++] = input[at - 2];
    out.bytes[out.length++] = input[at - 1];
    int run = 1;  // equal bytes at the literal's end
    while (at < end && out.bytes[control] != kFullLiteral) {
        const std::uint8_t c = input[at];
        run = c == out.bytes[out.length - 1] ? run + 1 : 1;
        if (run < 3) {
            if (!out.reserve(1, out.room)) return at;
            out.bytes[out.length++] = c;
            out.bytes[control] = static_cast<std::uint8_t>(out.bytes[control] + 2);
            ++at;
            continue;
        }
        // A third equal byte: its two fellows leave the literal and the three
        // become a repeat packet in their place.
        out.bytes[control] = static_cast<std::uint8_t>(out.bytes[control] - 4);
        out.length -= 2;
        const std::size_t repeatControl = out.length;
        out.bytes[out.length++] = 5;
        out.bytes[out.length++] = c;
        return extendRepeat(input, at + 1, end, out.bytes[repeatControl], c);
    }
    return at;
}

}  // namespace

std::size_t encodeRuns(const std::uint8_t* input, std::size_t length, std::uint8_t* output) {
    if (length == 0 || length > kMaxEncodedInput) return 0;
    EncodeOutput out{output, 0, length >= 2 ? length - 2 : 0};
    std::size_t at = 0;
    while (at < length && !out.full) {
        const std::uint8_t b = input[at++];
        if (at == length) {
            // A lone last byte may bring the output to length - 1.
            if (!out.reserve(2, length - 1)) break;
            out.bytes[out.length++] = 1;
            out.bytes[out.length++] = b;
            break;
        }
        const std::uint8_t d = input[at++];
        if (d == b) {
            if (!out.reserve(2, out.room)) break;
            const std::size_t control = out.length;
            out.bytes[out.length++] = 3;
            out.bytes[out.length++] = b;
            at = extendRepeat(input, at, length, out.bytes[control], b);
        } else {
            if (!out.reserve(3, out.room)) break;
            at = encodeLiteral(input, at, length, out);
        }
    }
    return out.full ? 0 : out.length;
}

}  // namespace ferrovel
