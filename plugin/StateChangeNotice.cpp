#include "plugin/StateChangeNotice.h"

#include <lv2/state/state.h>

namespace {

// The event: its header, then an object body without properties.
struct ChangedEvent {
    LV2_Atom_Event event;
    LV2_Atom_Object_Body object;
};
static_assert(sizeof(ChangedEvent) % 8 == 0, "events follow each other 64-bit aligned");

}  // namespace

void StateChangeNotice::map(const LV2_URID_Map& map, const AnalyzerPlugin& plugin) {
    sequence_ = map.map(map.handle, LV2_ATOM__Sequence);
    object_ = map.map(map.handle, LV2_ATOM__Object);
    stateChanged_ = map.map(map.handle, LV2_STATE__StateChanged);
    acknowledge(plugin);
}

void StateChangeNotice::acknowledge(const AnalyzerPlugin& plugin) {
    for (int i = 0; i < 4; ++i)
        announced_[i].store(plugin.panelOnlySetting(AnalyzerPlugin::kPanelOnlySlots[i]), std::memory_order_relaxed);
}

// Before the run the host set atom.size to the space of its buffer; it is counted here with the
// sequence's own header, which is what every host's buffer holds at least.
void StateChangeNotice::run(const AnalyzerPlugin& plugin) {
    if (port_ == nullptr) return;
    const uint32_t capacity = port_->atom.size;
    if (capacity < sizeof(LV2_Atom_Sequence)) return;
    port_->atom.type = sequence_;
    port_->atom.size = sizeof(LV2_Atom_Sequence_Body);
    port_->body.unit = 0;
    port_->body.pad = 0;
    int32_t now[4];
    bool changed = false;
    for (int i = 0; i < 4; ++i) {
        now[i] = plugin.panelOnlySetting(AnalyzerPlugin::kPanelOnlySlots[i]);
        changed = changed || now[i] != announced_[i].load(std::memory_order_relaxed);
    }
    if (!changed || capacity < sizeof(LV2_Atom_Sequence) + sizeof(ChangedEvent)) return;
    auto* changedEvent = reinterpret_cast<ChangedEvent*>(port_ + 1);
    changedEvent->event.time.frames = 0;
    changedEvent->event.body.type = object_;
    changedEvent->event.body.size = sizeof(LV2_Atom_Object_Body);
    changedEvent->object.id = 0;
    changedEvent->object.otype = stateChanged_;
    port_->atom.size += sizeof(ChangedEvent);
    for (int i = 0; i < 4; ++i) announced_[i].store(now[i], std::memory_order_relaxed);
}
