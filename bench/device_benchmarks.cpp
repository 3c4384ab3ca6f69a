// The device operations on the simulated bus with about 1 ms a report, each beside the least
// time its reports and mandated sleeps allow. `--smoke` runs each operation twice and fails
// when one of them does not succeed.
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "bench/device_rig.h"
#include "device/models/keyboard_device.h"
#include "device/models/mouse_device.h"
#include "profile/profile_records.h"

namespace morva::bench {

namespace {

using sim::Link;
using Model = CTessaronUSBDevice;

constexpr int kMusicMode = 29;  // the keyboard shows the program's frames as they come

bool g_smoke = false;
int g_failures = 0;

// An operation's preparation (once, untimed) and one run (timed); false when it failed.
struct Operation {
    std::function<bool(DeviceRig&)> prepare;
    std::function<bool(DeviceRig&, long iteration)> run;
};

void Run(benchmark::State& state, Link link, const Operation& op) {
    DeviceRig rig(link, sim::kUsbLatency);
    // Every operation but the arrival read finds the device read, as a page does.
    rig.Model().ReadFromDevice();
    rig.Model().StopLightThread();
    if ((op.prepare && !op.prepare(rig)) || rig.Model().TakeReadFailure()) {
        ++g_failures;
        state.SkipWithError("the set-up failed");
        return;
    }
    Cost total;
    long iteration = 0;
    for (auto _ : state) {
        bool ok = true;
        const Cost cost = rig.Measure([&] { ok = op.run(rig, iteration); });
        ++iteration;
        if (!ok) {
            ++g_failures;
            state.SkipWithError("the operation failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(cost.took).count());
        total.took += cost.took;
        total.reports += cost.reports;
        total.sequenceEnds += cost.sequenceEnds;
    }
    const double n = static_cast<double>(iteration);
    const double minimum = total.Minimum(rig.Latency()).count();
    state.counters["reports"] = static_cast<double>(total.reports) / n;
    state.counters["sleep_ms"] = total.Sleeps().count() / n;
    state.counters["minimum_ms"] = minimum / n;
    state.counters["ratio"] = minimum > 0 ? total.took.count() / minimum : 0;
}

LightInfo Varied(const LightInfo& light, long iteration) {
    LightInfo l = light;
    l.light = static_cast<std::uint8_t>(iteration % 2 == 0 ? 1 : 3);
    return l;
}

Operation ReadAtConnection() {
    return {nullptr, [](DeviceRig& rig, long) {
                rig.Model().ReadFromDevice();
                // Stopped here so the next read starts it again, as a reconnection does.
                rig.Model().StopLightThread();
                return !rig.Model().TakeReadFailure();
            }};
}

Operation ProfileSwitch() {
    auto ids = std::make_shared<std::vector<std::string>>(2);
    return {[ids](DeviceRig& rig) {
                Model& m = rig.Model();
                // Families without keys switch between the default profile and a copy.
                if (m.DeviceType() != kDeviceTypeMouse && m.DeviceType() != kDeviceTypeKeyboard)
                    return CopyCurrentProfile(m, (*ids)[0], (*ids)[1]);
                return PrepareProfilesWithMacros(m, (*ids)[0], (*ids)[1]);
            },
            [ids](DeviceRig& rig, long iteration) {
                rig.Model().SetProfileName((*ids)[static_cast<std::size_t>(iteration % 2)]);
                return rig.Model().ApplyProfile().Ok();
            }};
}

Operation LightChange() {
    return {
        nullptr, [](DeviceRig& rig, long iteration) {
            return rig.Model().ChangeLight(Varied(rig.Model().LightState(), iteration), true).Ok();
        }};
}

CTessaronMouseDevice& Mouse(DeviceRig& rig) {
    return static_cast<CTessaronMouseDevice&>(rig.Model());
}
CTessaronKeyboardDevice& Keyboard(DeviceRig& rig) {
    return static_cast<CTessaronKeyboardDevice&>(rig.Model());
}

Operation MouseDpi() {
    return {nullptr, [](DeviceRig& rig, long iteration) {
                return Mouse(rig).ChangeStageDpiValue(1, iteration % 2 == 0 ? 1600 : 1800).Ok();
            }};
}

Operation KeyboardRate() {
    return {nullptr, [](DeviceRig& rig, long iteration) {
                return Keyboard(rig).ChangePollingRate(static_cast<int>(iteration % 2)).Ok();
            }};
}

bool ChooseMode(DeviceRig& rig, int mode) {
    LightInfo light = rig.Model().LightState();
    light.selectItem = static_cast<std::uint8_t>(mode);
    return rig.Model().ChangeLight(light, true).Ok();
}

Operation HostFrame() {
    return {[](DeviceRig& rig) { return ChooseMode(rig, kMusicMode); },
            [](DeviceRig& rig, long) { return rig.Model().PresentLightFrame(); }};
}

Operation CustomGroup() {
    return {[](DeviceRig& rig) { return ChooseMode(rig, kCustomColourMode); },
            [](DeviceRig& rig, long iteration) {
                return rig.Model().ChangeCustomGroup(static_cast<int>(iteration % 2)).Ok();
            }};
}

Operation CustomColours() {
    return {[](DeviceRig& rig) { return ChooseMode(rig, kCustomColourMode); },
            [](DeviceRig& rig, long iteration) {
                return rig.Model().FillCustomGroup(iteration % 2 == 0, 0).Ok();
            }};
}

struct Entry {
    const char* name;
    Link link;
    Operation (*make)();
};

const Entry kEntries[] = {
    {"mouse/cable/read at connection", Link::Mouse, ReadAtConnection},
    {"mouse/receiver/read at connection", Link::MouseReceiver, ReadAtConnection},
    {"mouse/cable/profile switch", Link::Mouse, ProfileSwitch},
    {"mouse/receiver/profile switch", Link::MouseReceiver, ProfileSwitch},
    {"mouse/cable/dpi stage", Link::Mouse, MouseDpi},
    {"mouse/receiver/dpi stage", Link::MouseReceiver, MouseDpi},
    {"mouse/cable/light", Link::Mouse, LightChange},
    {"keyboard/cable/read at connection", Link::Keyboard, ReadAtConnection},
    {"keyboard/receiver/read at connection", Link::KeyboardReceiver, ReadAtConnection},
    {"keyboard/cable/profile switch", Link::Keyboard, ProfileSwitch},
    {"keyboard/receiver/profile switch", Link::KeyboardReceiver, ProfileSwitch},
    {"keyboard/cable/polling rate", Link::Keyboard, KeyboardRate},
    {"keyboard/receiver/polling rate", Link::KeyboardReceiver, KeyboardRate},
    {"keyboard/cable/light", Link::Keyboard, LightChange},
    {"keyboard/cable/host frame", Link::Keyboard, HostFrame},
    {"keyboard/cable/custom group", Link::Keyboard, CustomGroup},
    {"keyboard/receiver/custom group", Link::KeyboardReceiver, CustomGroup},
    {"keyboard/cable/custom colours", Link::Keyboard, CustomColours},
    {"pad/cable/read at connection", Link::Pad, ReadAtConnection},
    {"pad/cable/profile switch", Link::Pad, ProfileSwitch},
    {"pad/cable/light", Link::Pad, LightChange},
    {"headset/cable/read at connection", Link::Headset, ReadAtConnection},
    {"headset/cable/profile switch", Link::Headset, ProfileSwitch},
    {"headset/cable/light", Link::Headset, LightChange},
};

}  // namespace

void RegisterAll() {
    for (const Entry& e : kEntries) {
        benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(
            e.name, [e](benchmark::State& state) { Run(state, e.link, e.make()); });
        b->UseManualTime()->Unit(benchmark::kMillisecond);
        if (g_smoke)
            b->Iterations(2);
    }
}

}  // namespace morva::bench

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0)
            morva::bench::g_smoke = true;
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 2;
    morva::bench::RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (morva::bench::g_failures > 0) {
        std::cerr << "morva-bench: " << morva::bench::g_failures << " operations failed\n";
        return 1;
    }
    return 0;
}
