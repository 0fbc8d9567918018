// The radio choice: which sound device the tones play on, how push-to-talk keys the
// transmitter, where the receiver's audio comes in, what both front ends make of it, and when
// push-to-talk and programming must share one serial port.
//
// The choice lives in the options file beside Calvento31.ini (that file keeps its eleven classic
// values). The device is remembered by its stable id and its description, never by its place in
// the list. The classic choice, the default device and RTS of the PTT port, is what a new user
// gets. The window's Radio dialog edits it; the command-line tool builds one from its options;
// both make their push-to-talk method here.
#pragma once

#include <QString>
#include <memory>

#include "platform/serial_port.h"
#include "tone/push_to_talk.h"

namespace calvento {

struct RadioInterface {
    enum class Ptt { Rts, Dtr, RtsInverted, DtrInverted, Hamlib };

    QString deviceId;  // empty: the system's default
    QString deviceDescription;
    Ptt ptt = Ptt::Rts;
    int rigModel = 2;                                    // Hamlib's rigctld client
    QString rigPort = QStringLiteral("127.0.0.1:4532");  // rigctld's own default
    QString pttType = QStringLiteral("rig");             // rig, dtr, rts, cm108
    // Where the receiver's audio comes in, and how the board's reply is listened for after a
    // command from the console or the tool: for up to listenSeconds (0: not at all), sent again
    // up to replyRetries times (0 to 3) while nothing was heard.
    QString inputDeviceId;  // empty: the system's default
    QString inputDeviceDescription;
    int listenSeconds = 8;
    int replyRetries = 0;

    bool usesSerialLine() const { return ptt != Ptt::Hamlib; }
    ModemLine line() const {
        return ptt == Ptt::Dtr || ptt == Ptt::DtrInverted ? ModemLine::Dtr : ModemLine::Rts;
    }
    bool inverted() const { return ptt == Ptt::RtsInverted || ptt == Ptt::DtrInverted; }
    bool operator==(const RadioInterface&) const = default;

    // The serial-line method for a line and a polarity.
    static Ptt serialLine(ModemLine line, bool inverted) {
        if (line == ModemLine::Dtr) return inverted ? Ptt::DtrInverted : Ptt::Dtr;
        return inverted ? Ptt::RtsInverted : Ptt::Rts;
    }
};

// The method's name in the options and sites files ("rts", "dtr-inverted", "hamlib", ...), and
// back (an unknown name is the classic RTS).
QString PttMethodName(RadioInterface::Ptt method);
RadioInterface::Ptt PttMethodOf(const QString& name);

RadioInterface LoadRadioInterface(const QString& optionsFile);
void SaveRadioInterface(const QString& optionsFile, const RadioInterface& choice);

// Whether this build can key through Hamlib, and its version ("4.5.5"; empty without it).
bool HamlibAvailable();
QString HamlibVersion();

// A push-to-talk method for the choice: a line of `port` (which the caller opens), or a Hamlib
// rig, opened here; null with the reason when it cannot be set up.
std::unique_ptr<PushToTalk> MakePushToTalk(const RadioInterface& choice, SerialPort& port,
                                           QString* error);

// Puts the transmitter of `choice` in its unkeyed state: the line of `port` (which the caller
// opened) to its idle level, or the rig told to stop transmitting. For a transmitter left keyed
// by a program that was killed. `state` says what was read back ("RTS is low", "the rig reports
// no transmission", or that the device cannot tell); false with the reason when it failed.
bool UnkeyTransmitter(const RadioInterface& choice, SerialPort& port, QString* state,
                      QString* error);

// Whether push-to-talk and programming would use one serial port, so that only one of them may
// be on: always when push-to-talk has no port of its own; else when both name the same port
// number or device, or a Hamlib rig sits on the programming device. `pttDevice` and
// `programmingDevice` are the devices the two port numbers name (empty for none).
bool PttSharesProgrammingPort(const RadioInterface& choice, bool pttHasOwnPort,
                              const QString& pttDevice, const QString& programmingDevice);

}  // namespace calvento
