// What the receiver hears, decoded as it arrives: DTMF keys at once, Morse words once they are
// whole, for the console's monitor, for listening after a command and for the board simulator.
//
// Pure (no Qt). DTMF goes through the streaming DtmfDecoder. Morse needs a stretch of signal to
// find its pitch and speed, so the samples are kept and the kept stretch is decoded again every
// second; a word is final once another word has followed it or the channel has been quiet
// for 2.5 s after its last character (longer than the longest character at 14 WPM), and is then
// reported once. While nothing is pending only the last three seconds are kept (never a piece of
// a word already reported, which would come back as a word of its own), so a quiet channel costs
// little; a long transmission is cut to its last 20 seconds. Morse words that begin
// while DTMF keys sound are left out, as in MergeDecoded.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tone/dtmf_decoder.h"

namespace calvento {

class ReceiveDecoder {
public:
    // `wpmHint`: the sender's Morse speed when it is known (see DecodeMorse), else 0.
    ReceiveDecoder(int sampleRate, bool dtmf = true, bool cw = true, double wpmHint = 0);

    // Takes the next samples; the items they make final are appended to `out`, each with its time
    // in seconds from the first sample fed.
    void feed(std::span<const int16_t> samples, std::vector<DecodedItem>& out);

    // The end of the stream: what is still pending becomes final.
    void finish(std::vector<DecodedItem>& out);

    // Seconds of samples fed.
    double seconds() const { return static_cast<double>(m_total) / m_rate; }

private:
    void decodeMorse(bool final, std::vector<DecodedItem>& out);
    bool duringKeys(double seconds) const;

    int m_rate;
    bool m_wantDtmf, m_wantCw;
    double m_wpmHint;
    DtmfDecoder m_dtmf;
    std::vector<double> m_keyTimes;
    std::vector<int16_t> m_cw;  // the kept stretch
    int64_t m_cwStart = 0;      // the sample number of its first sample
    int64_t m_total = 0;
    int64_t m_sinceDecode = 0;
    double m_emittedUntil = -1;  // the time of the last word reported
    double m_emittedLast = -1;   // the time of that word's last character
    std::vector<DecodedItem> m_pending;
};

// The level of a stretch of samples for a meter: its peak in dB below full scale (0 the loudest,
// -90 for silence or nothing).
double PeakLevelDb(std::span<const int16_t> samples);

}  // namespace calvento
