#include "Choreographer.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace SpriteArt {

namespace {

constexpr double pi = std::numbers::pi;
constexpr double tau = 2 * std::numbers::pi;
constexpr double standingAnkleY = groundY - ankleHeight;

double fraction(double value)
{
    return value - std::floor(value);
}

// A smooth hump centred on `centre` that is 1 there and 0 beyond `halfWidth`, measured around the
// loop so it can sit across the seam.
double bump(double phase, double centre, double halfWidth)
{
    double distance = std::abs(fraction(phase - centre + 0.5) - 0.5);
    if (distance >= halfWidth)
        return 0;
    return 0.5 + 0.5 * std::cos(pi * distance / halfWidth);
}

// 0 up to 0, rising smoothly to 1 at 1 and staying there.
double ease(double value)
{
    double const x = std::clamp(value, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

// 0 up to 0, rising to 1 at 1 at an even pace, speeding up and slowing down over the first and
// last quarter: the long middle keeps the top speed low for a move that spans many frames.
double glide(double value)
{
    constexpr double ramp = 0.25;
    constexpr double speed = 1 / (1 - ramp);
    double const x = std::clamp(value, 0.0, 1.0);
    if (x < ramp)
        return speed * x * x / (2 * ramp);
    if (x > 1 - ramp)
        return 1 - speed * (1 - x) * (1 - x) / (2 * ramp);
    return speed * (x - ramp / 2);
}

// Eyes: open except for a blink of a few frames around `centre`.
double blink(double phase, double centre, double halfWidth)
{
    return 1 - bump(phase, centre, halfWidth);
}

double restX(Leg leg)
{
    Pose const neutral;
    double root = isHind(leg) ? neutral.hip.x() : neutral.shoulder.x();
    return root + 2 + (isFar(leg) ? farLegOffset.x() : 0);
}

// Standing still, the far paws stand a little apart from the near ones so all four show.
void standSquare(Pose& pose)
{
    for (Leg leg : allLegs)
        pose.paws[leg] = { restX(leg), standingAnkleY };
    pose.paws[farHind] += QPointF(6, 0);
    pose.paws[farFore] += QPointF(-9, 0);
}

// When each paw touches down (as a fraction of the loop), for how much of the loop it carries the
// dog, and how high it swings.
struct GaitPlan {
    std::array<double, 4> touchdown;
    double duty;
    double lift;
    std::array<double, 4> reach {}; // moves the middle of a paw's stride forward
};

// Four beats, one foot after the other: near hind, near fore, far hind, far fore.
constexpr GaitPlan strollPlan { { 0.5, 0.75, 0.0, 0.25 }, 0.72, 9 };
// Trot: diagonal pairs together.
constexpr GaitPlan walkPlan { { 0.0, 0.5, 0.5, 0.0 }, 0.52, 13 };
// Gallop: the hind legs land well under the body and push off nearly together, the forelegs
// reach out ahead and follow, then all four fly.
constexpr GaitPlan runPlan { { 0.0, 0.32, 0.08, 0.42 }, 0.28, 22, { 6, 10, 6, 10 } };

GaitPlan const* planFor(ClipSpec const& clip)
{
    if (clip.name == "stroll")
        return &strollPlan;
    if (clip.name == "walk")
        return &walkPlan;
    if (clip.name == "run")
        return &runPlan;
    return nullptr;
}

// A paw on the ground stays where it was put while the ground slides back under the moving pet;
// in the air it swings forward again, easing out and in.
QPointF gaitPaw(ClipSpec const& clip, GaitPlan const& plan, Leg leg, double phase)
{
    double const sweep = clip.groundSpeed() * clip.duration() * plan.duty;
    double const centre = restX(leg) + plan.reach[leg];
    double const local = fraction(phase - plan.touchdown[leg]);
    if (local < plan.duty) {
        double const progress = local / plan.duty;
        return { centre + sweep * (0.5 - progress), standingAnkleY };
    }
    double const progress = (local - plan.duty) / (1 - plan.duty);
    double const eased = progress - std::sin(tau * progress) / tau;
    double lift = plan.lift * std::sin(pi * progress);
    return { centre + sweep * (eased - 0.5), standingAnkleY - lift };
}

void placeGaitPaws(Pose& pose, ClipSpec const& clip, GaitPlan const& plan, double phase)
{
    for (Leg leg : allLegs)
        pose.paws[leg] = gaitPaw(clip, plan, leg, phase);
}

void moveBody(Pose& pose, double dx, double dy)
{
    pose.hip += QPointF(dx, dy);
    pose.shoulder += QPointF(dx, dy);
    pose.head += QPointF(dx, dy);
}

Pose stroll(ClipSpec const& clip, double phase)
{
    Pose pose;
    placeGaitPaws(pose, clip, strollPlan, phase);
    // Two soft dips a stride, the head nodding with each forefoot.
    moveBody(pose, 0, 1.2 * std::cos(2 * tau * (phase - 0.36)));
    pose.head += QPointF(0, 2.5 * std::cos(2 * tau * (phase - 0.45)));
    pose.headTilt = 0.05 * std::cos(2 * tau * (phase - 0.45));
    pose.tailLift = 0.8 + 0.12 * std::sin(tau * phase);
    pose.earBack = 0.08 * std::sin(2 * tau * phase);
    return pose;
}

Pose walk(ClipSpec const& clip, double phase)
{
    Pose pose;
    placeGaitPaws(pose, clip, walkPlan, phase);
    // The back stays level; the whole dog dips a little in the middle of each diagonal's stance.
    moveBody(pose, 0, 1 + 1.6 * std::cos(2 * tau * (phase - 0.26)));
    pose.head += QPointF(3, 1.5 * std::cos(2 * tau * (phase - 0.32)));
    pose.tailLift = 0.55 + 0.1 * std::sin(2 * tau * phase);
    pose.tailCurl = 0.35;
    pose.earBack = 0.2 + 0.12 * std::sin(2 * tau * (phase - 0.1));
    pose.mouthOpen = 0.3;
    return pose;
}

Pose run(ClipSpec const& clip, double phase)
{
    Pose pose;
    placeGaitPaws(pose, clip, runPlan, phase);
    // The back gathers in the flight after the forelegs leave and stretches while they carry.
    double const gather = std::cos(tau * (phase - 0.9));
    pose.hip += QPointF(8 * gather, 0);
    pose.shoulder += QPointF(-5 * gather, 0);
    pose.arch = 7 * gather;
    moveBody(pose, 0, -4 * std::cos(tau * (phase - 0.85)));
    pose.head += QPointF(5 - 3 * gather, 8 + 2 * std::cos(tau * (phase - 0.5)));
    pose.headTilt = 0.12;
    pose.earBack = 0.75 + 0.15 * std::sin(tau * (phase - 0.2));
    pose.tailLift = 0.2 + 0.15 * gather;
    pose.tailCurl = 0.1;
    pose.mouthOpen = 0.55;
    return pose;
}

Pose idle(double phase)
{
    Pose pose;
    standSquare(pose);
    double const breath = std::sin(tau * phase);
    pose.swell = 1 + 0.04 * breath;
    pose.shoulder += QPointF(0, -1.2 * breath);
    pose.head += QPointF(0, -1.5 * breath);
    pose.eyeOpen = blink(phase, 0.72, 0.045);
    pose.earBack = 0.35 * bump(phase, 0.3, 0.05);
    pose.tailLift = 0.8 + 0.14 * std::sin(tau * phase);
    return pose;
}

Pose hungry(double phase)
{
    Pose pose;
    standSquare(pose);
    double const breath = std::sin(tau * phase);
    pose.swell = 1 + 0.03 * breath;
    pose.bellyTuck = 1;
    pose.shoulder += QPointF(0, 3);
    pose.arch = 4;
    pose.bowl = true;
    // Noses the empty bowl, lifts its head to look up and whimper, licks its lips, and lowers it
    // to the bowl again. Each way takes a quarter of the loop, so the head never leaps.
    double const up = glide((phase - 0.27) / 0.25) * (1 - glide((phase - 0.75) / 0.25));
    double const nudge = 3.5 * std::sin(4 * tau * phase) * (1 - up);
    // The nose goes up with the whimper.
    double const whimper = bump(phase, 0.59, 0.06);
    QPointF const inBowl(213 + nudge, 148 + 0.5 * nudge);
    QPointF const lookingUp(219, 88 - 1.2 * breath - 2 * whimper);
    pose.head = inBowl + (lookingUp - inBowl) * up;
    pose.headTilt = 0.72 + (-0.22 - 0.72) * up - 0.12 * whimper;
    pose.shoulder += QPointF(0, 3 * (1 - up));
    pose.earDroop = 0.95;
    pose.eyeOpen = (0.55 + 0.45 * up) * blink(phase, 0.645, 0.03);
    pose.mouthOpen = 0.5 * whimper;
    pose.lick = bump(phase, 0.69, 0.05);
    pose.tailLift = -0.35 + 0.15 * std::sin(tau * phase);
    pose.tailCurl = 0.2;
    return pose;
}

Pose happy(double phase)
{
    Pose pose;
    standSquare(pose);
    // In the air for the first part of the loop, then a crouch on landing that is also the take-off.
    constexpr double airborne = 0.55;
    double lift = 0;
    double crouch = 0;
    double stretch = 0;
    if (phase < airborne) {
        double const air = phase / airborne;
        lift = 16 * std::sin(pi * air);
        stretch = std::sin(pi * air);
        // The forepaws tuck up in flight.
        for (Leg leg : allLegs) {
            double tuck = isHind(leg) ? 1.0 : 5.0;
            pose.paws[leg] += QPointF(isHind(leg) ? 1.0 : -3.0 * stretch, -lift - tuck * stretch);
        }
    } else {
        crouch = std::sin(pi * (phase - airborne) / (1 - airborne));
    }
    moveBody(pose, 0, -lift + 7 * crouch);
    pose.head += QPointF(0, 2 * crouch);
    pose.squash = 0.07 * crouch - 0.04 * stretch;
    // Ears and tail follow the body a moment late.
    pose.earBack = 0.3 * std::sin(tau * (phase - 0.15));
    pose.earDroop = std::clamp(0.2 + 0.2 * std::sin(tau * (phase - 0.25)), 0.0, 1.0);
    pose.tailLift = 0.95 + 0.5 * std::sin(3 * tau * phase);
    pose.tailCurl = 0.6;
    pose.mouthOpen = 1;
    return pose;
}

Pose poop(double phase)
{
    Pose pose;
    standSquare(pose);
    double const strain = bump(phase, 0.45, 0.17);
    pose.hip = QPointF(101, 158 + 2 * strain);
    pose.shoulder = QPointF(170, 133);
    pose.arch = 9;
    pose.bellyTuck = 0.3;
    pose.paws[nearHind] = { 109, standingAnkleY };
    pose.paws[farHind] = { 113, standingAnkleY };
    pose.jointBack[nearHind] = pose.jointBack[farHind] = true;
    pose.head = QPointF(216, 80 + 1.5 * strain);
    pose.headTilt = -0.08;
    pose.earDroop = 0.2;
    pose.eyeOpen = 1 - 0.65 * strain;
    pose.tailLift = 1.35 + 0.06 * std::sin(3 * tau * phase);
    pose.tailCurl = 0.15;
    pose.pile = true;
    // One more drops onto the pile, so the pile itself never has to change.
    constexpr double dropStart = 0.44;
    constexpr double dropEnd = 0.6;
    if (phase >= dropStart && phase < dropEnd) {
        double const fall = (phase - dropStart) / (dropEnd - dropStart);
        QPointF const from(pose.hip.x() - 30, pose.hip.y() + 2);
        QPointF const to(58, groundY - 24);
        pose.dropping = QPointF(from.x() + (to.x() - from.x()) * fall, from.y() + (to.y() - from.y()) * fall * fall);
    }
    return pose;
}

Pose sick(double phase)
{
    Pose pose;
    pose.hip = QPointF(100, 168);
    pose.shoulder = QPointF(170, 164);
    double const breath = std::sin(tau * phase);
    pose.swell = 1 + 0.03 * breath;
    // The head lifts with effort from the start of the loop and drops back at once; a shiver
    // follows and runs to the loop's end, so the loop never rests on its seam.
    double const lift = ease(phase / 0.2) * (1 - ease((phase - 0.33) / 0.06));
    pose.head = QPointF(214 - 2 * lift, 150 - 18 * lift - 1.0 * breath);
    pose.headTilt = 0.15 - 0.3 * lift;
    pose.earDroop = 0.9;
    // The eyes stay half open, not asleep.
    pose.eyeOpen = (0.45 + 0.2 * lift) * blink(phase, 0.88, 0.06);
    pose.icePack = true;
    pose.pallor = 1;
    pose.tailLift = -0.45;
    pose.tailCurl = 0.5;
    pose.paws[nearFore] = { 222, standingAnkleY };
    pose.paws[farFore] = { 230, standingAnkleY - 1 };
    pose.paws[nearHind] = { 145, standingAnkleY };
    pose.paws[farHind] = { 151, standingAnkleY - 1 };
    pose.jointBack[nearHind] = pose.jointBack[farHind] = false;
    // Bursts of a one-pixel tremor, every frame to the other side, while the head lies down.
    if (phase >= 0.42)
        pose.shiverX = 2 * std::cos(36 * pi * phase);
    return pose;
}

}

Pose Choreographer::pose(ClipSpec const& clip, double phase)
{
    phase = fraction(phase);
    if (clip.name == "run")
        return run(clip, phase);
    if (clip.name == "walk")
        return walk(clip, phase);
    if (clip.name == "stroll")
        return stroll(clip, phase);
    if (clip.name == "hungry")
        return hungry(phase);
    if (clip.name == "happy")
        return happy(phase);
    if (clip.name == "poop")
        return poop(phase);
    if (clip.name == "sick")
        return sick(phase);
    return idle(phase);
}

bool Choreographer::carries(ClipSpec const& clip, Leg leg, double phase)
{
    GaitPlan const* plan = planFor(clip);
    if (!plan)
        return false;
    return fraction(fraction(phase) - plan->touchdown[leg]) < plan->duty;
}

}
