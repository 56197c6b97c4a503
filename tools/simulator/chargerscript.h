#pragma once

#include <string>

// What the simulated charger sends, one "second" (tick) at a time. Pure: it
// knows nothing of terminals or timers, so a run can be replayed exactly.
struct ChargerOptions {
  double durationS = 3000;  // simulated seconds from about 1400 mV to 1000 mV
  double speed = 1;         // simulated seconds per frame
  bool oneChannel = false;  // channel 2 reports "not present"
  bool repeat = false;      // start a new discharge after the notice
  int malformedEvery = 0;   // every n-th frame has an empty voltage field (0: never)
  int garbageEvery = 0;     // every n-th tick sends a line of noise instead
  int splitEvery = 0;       // every n-th frame is sent across two ticks
  int doubleEvery = 0;      // every n-th tick sends two frames
  int pauseAt = -1;         // tick at which the charger falls silent ...
  int pauseFor = 0;         // ... for this many ticks
  int disappearAt = -1;     // tick at which the device goes away ...
  int disappearFor = 0;     // ... for this many ticks
};

inline constexpr char kEndOfDischarge[] = " Exit from discharge .... ";

// One channel of the charger. Current in mA, capacity in mAh integrated from
// the current, voltage in mV, temperature in degrees Celsius.
struct SimulatedChannel {
  double startMv;
  double endMv;
  double startMa;
  double timeS = 0;
  double capacityMah = 0;

  double VoltageMv(double durationS) const;
  double CurrentMa(double durationS) const;
  double TemperatureC(double durationS) const;
  void Advance(double seconds, double durationS);
};

class ChargerScript {
 public:
  struct Tick {
    std::string text;         // bytes to send this tick (may be empty)
    bool deviceAway = false;  // the device is unplugged during this tick
  };

  explicit ChargerScript(ChargerOptions options);

  Tick Next();
  // The frame of the current state, with its line end.
  std::string Frame() const;
  bool Finished() const { return m_state == State::Idle; }

 private:
  enum class State { Discharging, Notice, Idle };

  void Reset();
  std::string NextFrame();

  ChargerOptions m_options;
  SimulatedChannel m_channel1;
  SimulatedChannel m_channel2;
  State m_state = State::Discharging;
  int m_tick = 0;
  int m_frames = 0;
  int m_idleTicks = 0;
  std::string m_carry;  // the second half of a split frame
};
