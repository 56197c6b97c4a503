#include "chargerscript.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

bool Every(int n, int count) {
  return n > 0 && count % n == 0;
}

int Round(double value) {
  return static_cast<int>(std::lround(value));
}

constexpr int kIdleTicksBeforeRepeat = 3;

}  // namespace

// A NiMH-like curve: a quick drop from the start, a long slope, and a knee
// towards the end voltage.
double SimulatedChannel::VoltageMv(double durationS) const {
  const double x = std::clamp(timeS / durationS, 0.0, 1.0);
  const double shape = 1 - 0.3 * (1 - std::exp(-15 * x)) - 0.45 * x - 0.25 * std::pow(x, 6);
  return endMv + (startMv - endMv) * std::max(shape, 0.0);
}

double SimulatedChannel::CurrentMa(double durationS) const {
  return startMa * (1 - 0.04 * std::clamp(timeS / durationS, 0.0, 1.0));
}

double SimulatedChannel::TemperatureC(double durationS) const {
  return 25 + 8 * std::clamp(timeS / durationS, 0.0, 1.0);
}

void SimulatedChannel::Advance(double seconds, double durationS) {
  // Trapezoid rule: the capacity follows the current that was reported.
  const double before = CurrentMa(durationS);
  timeS += seconds;
  capacityMah += (before + CurrentMa(durationS)) / 2 * seconds / 3600;
}

ChargerScript::ChargerScript(ChargerOptions options) : m_options(options) {
  m_options.durationS = std::max(m_options.durationS, 1.0);
  m_options.speed = std::max(m_options.speed, 0.001);
  Reset();
}

void ChargerScript::Reset() {
  m_channel1 = SimulatedChannel{1400, 1000, 500};
  m_channel2 = SimulatedChannel{1390, 1000, 480};
  m_state = State::Discharging;
  m_idleTicks = 0;
}

std::string ChargerScript::Frame() const {
  const double d = m_options.durationS;
  auto fields = [d](const SimulatedChannel& c) {
    return "1," + std::to_string(Round(c.timeS)) + ',' + std::to_string(Round(c.VoltageMv(d))) +
           ',' + std::to_string(Round(c.CurrentMa(d))) + ',' +
           std::to_string(Round(c.capacityMah)) + ',' + std::to_string(Round(c.TemperatureC(d)));
  };
  std::string frame = "$1," + fields(m_channel1) + ';';
  frame += m_options.oneChannel ? std::string("0,,,,,") : fields(m_channel2);
  return frame + "\r\n";
}

std::string ChargerScript::NextFrame() {
  ++m_frames;
  std::string frame = Frame();
  if (Every(m_options.malformedEvery, m_frames)) {
    // Channel 1's voltage field left empty: its time arrives, the rest fails.
    const size_t first = frame.find(',', 5);
    const size_t second = frame.find(',', first + 1);
    frame.erase(first + 1, second - first - 1);
  }
  m_channel1.Advance(m_options.speed, m_options.durationS);
  m_channel2.Advance(m_options.speed, m_options.durationS * 0.97);
  if (m_channel1.timeS >= m_options.durationS) {
    m_state = State::Notice;
  }
  return frame;
}

ChargerScript::Tick ChargerScript::Next() {
  const int tick = m_tick++;
  Tick out;
  if (m_options.disappearAt >= 0 && tick >= m_options.disappearAt &&
      tick < m_options.disappearAt + m_options.disappearFor) {
    out.deviceAway = true;
    return out;
  }
  if (m_options.pauseAt >= 0 && tick >= m_options.pauseAt &&
      tick < m_options.pauseAt + m_options.pauseFor) {
    return out;
  }
  if (!m_carry.empty()) {
    out.text = std::exchange(m_carry, std::string());
    return out;
  }
  switch (m_state) {
    case State::Notice:
      // Alone in its tick and without a line end, as the charger sends it.
      out.text = kEndOfDischarge;
      m_state = State::Idle;
      return out;
    case State::Idle:
      if (m_options.repeat && ++m_idleTicks >= kIdleTicksBeforeRepeat) {
        Reset();
      }
      return out;
    case State::Discharging:
      break;
  }
  if (Every(m_options.garbageEvery, tick + 1)) {
    out.text = "#*@ line noise \xFF\xFE\x01 ~~\r\n";
    return out;
  }
  out.text = NextFrame();
  if (Every(m_options.splitEvery, m_frames)) {
    const size_t half = out.text.size() / 2;
    m_carry = out.text.substr(half);
    out.text.resize(half);
  } else if (Every(m_options.doubleEvery, tick + 1) && m_state == State::Discharging) {
    out.text += NextFrame();
  }
  return out;
}
