#include "TraceCorpus.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {
// The pressure the machine held: knots joined by straight lines.
class Profile {
public:
    double Now() const { return m_knots.back().first; }
    double Level() const { return m_knots.back().second; }
    void To(double seconds, double psi) { m_knots.emplace_back(Now() + seconds, psi); }
    void Hold(double seconds) { To(seconds, Level()); }
    double At(double t) const {
        if (t <= m_knots.front().first)
            return m_knots.front().second;
        for (size_t i = 1; i < m_knots.size(); ++i)
            if (t <= m_knots[i].first) {
                const auto& [t0, p0] = m_knots[i - 1];
                const auto& [t1, p1] = m_knots[i];
                return t1 == t0 ? p1 : p0 + (p1 - p0) * (t - t0) / (t1 - t0);
            }
        return m_knots.back().second;
    }

private:
    std::vector<std::pair<double, double>> m_knots{{0, 0}};
};

struct Built {
    Profile profile;
    FieldJointTimes times;
};

Built Build(const FieldJoint& j) {
    Built b;
    Profile& p = b.profile;
    FieldJointTimes& at = b.times;
    std::mt19937 rng(j.seed);
    std::uniform_real_distribution<double> jitter(0.8, 1.2);
    const double ramp = j.manual ? 6 : 2; // pumping by hand takes longer
    p.Hold(12 * jitter(rng));
    if (j.facing) {
        // Facing: the carriage pushes the pipe ends against the facer.
        for (int i = 0; i < 6; ++i) {
            p.To(1, 60 + 50 * jitter(rng));
            p.Hold(3 * jitter(rng));
        }
        p.To(1, 0);
        p.Hold(25 * jitter(rng)); // facer out, alignment checked
    }
    if (j.slippageCheck) {
        // Closed at fusion pressure for a few seconds: the pipes must not
        // slip in the clamps.
        p.To(ramp, j.fuse);
        p.Hold(5 * jitter(rng));
        p.To(1, 0);
        p.Hold(20 * jitter(rng)); // heater put in
    }
    at.beadStart = p.Now();
    p.To(ramp, j.bead);
    p.Hold(j.beadSeconds - ramp);
    at.soakStart = p.Now();
    p.To(2, j.soak);
    double soak = j.soakSeconds - 2;
    if (j.thermalBump && soak > 80) {
        // The melt expands as it heats, pushing the carriage back a little.
        p.Hold(8);
        p.To(12, j.soak + 11);
        p.To(35, j.soak);
        soak -= 55;
    }
    p.Hold(soak);
    at.opening = p.Now();
    // Opening, heater out, closing at drag pressure, contact.
    p.To(0.6, 0);
    p.Hold(std::max(j.removalSeconds - 2.6, 0.2));
    p.To(0.5, j.drag);
    p.Hold(1.5);
    at.contact = p.Now();
    p.To(j.buildUpSeconds, j.fuse);
    at.fusionReached = p.Now();
    const double held = j.fuseSeconds;
    double done = 0;
    const auto hold = [&](double seconds, double level) {
        if (j.leakTo >= 0)
            p.To(seconds, j.fuse + (j.leakTo - j.fuse) * (done + seconds) / held);
        else
            p.To(seconds, level);
        done += seconds;
    };
    std::vector<double> events;
    for (int i = 0; i < j.sags; ++i)
        events.push_back(held * (i + 1) / (j.sags + 1));
    if (j.releaseAt >= 0)
        events.push_back(j.releaseAt);
    std::sort(events.begin(), events.end());
    for (double e : events) {
        hold(e - done, j.cool);
        if (e == j.releaseAt) {
            p.To(1, 0);
            p.Hold(j.releaseSeconds);
            p.To(ramp, j.cool);
        } else {
            // A manual machine bleeds off; the operator pumps it back.
            p.To(1, 0.85 * j.cool);
            p.To(1, j.cool);
        }
    }
    hold(held - done, j.cool);
    if (j.second >= 0) {
        p.To(2, j.second);
        p.Hold(j.secondSeconds);
    }
    at.release = p.Now();
    if (j.idleAfter > 0) {
        p.To(ramp / 2, 0);
        p.Hold(j.idleAfter);
    }
    return b;
}
} // namespace

FieldJointTimes FieldJointTimesOf(const FieldJoint& joint) {
    return Build(joint).times;
}

ReportPlan FieldJointPlan(const FieldJoint& j) {
    ReportPlan plan = ButtFusionReport(0);
    plan.Set(RF_MACHINE_ID, QStringLiteral("FM-0042"));
    plan.Set(RF_MODEL_TEXT, QStringLiteral("#Q5 HF"));
    plan.Set(RF_PISTON_AREA, QStringLiteral("4.710"));
    plan.Set(RF_DRAG_PRESSURE, QStringLiteral("30"));
    plan.Set(RF_REC_SOAK, QStringLiteral("30"));
    const Profile profile = Build(j).profile;
    std::mt19937 rng(j.seed * 7919 + 1);
    std::normal_distribution<double> noise(0, j.noisePsi);
    const auto inside = [](const std::vector<std::pair<double, double>>& spans, double t) {
        return std::any_of(spans.begin(), spans.end(),
                           [t](const auto& s) { return t >= s.first && t < s.second; });
    };
    double clock = j.clockStart * 0.2;
    for (double t = 0; t <= profile.Now() + 1e-9; t += j.sampleSeconds) {
        const double held = profile.At(t);
        // A gauge at rest reads 0; under pressure it wanders.
        double psi = held <= 0.5 ? 0 : held + noise(rng);
        for (const auto& [when, spike] : j.spikes)
            if (std::fabs(t - when) < j.sampleSeconds / 2)
                psi = spike;
        for (const auto& [when, by] : j.clockBack)
            if (std::fabs(t - when) < j.sampleSeconds / 2)
                clock -= by;
        const int units = int(std::lround((clock + t) / 0.2)) & 0xffff;
        plan.samples.emplace_back(units, inside(j.noReading, t) ? 4001 : int(std::lround(psi)));
    }
    return plan;
}
