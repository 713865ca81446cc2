// A fixed table of records behind opaque handles, as the shim's GDI keeps its device contexts
// and its objects. Nothing outside platform/win32/gdi_* includes this.
//
// A handle is (generation << 24) | (tag << 16) | slot index. The table is a plain array, so it
// is ready before any constructor runs and a record never moves. A slot that is freed gets a
// new generation, so a stale handle no longer matches it; each table has its own tag, so a
// handle of one table is foreign to the other.
#pragma once

#include <cstdint>

namespace shim::gdi {

template <class Record, std::uint32_t Capacity, std::uintptr_t Tag>
class HandleTable {
  public:
    // The record behind a live handle of this table; null for anything else.
    Record* find(const void* handle) {
        const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
        const std::uintptr_t index = value & 0xFFFF;
        if (((value >> 16) & 0xFF) != Tag || index >= Capacity) {
            return nullptr;
        }
        Slot& slot = slots[index];
        if (!slot.live || slot.generation != (value >> 24)) {
            return nullptr;
        }
        return &slot.record;
    }

    // A zeroed record in a free slot, with its handle; null (and no handle) when all are taken.
    // The most recently freed slot is taken first, then slots never used.
    Record* add(void** handle) {
        *handle = nullptr;
        std::uint32_t index;
        if (firstFree != 0) {
            index = firstFree - 1;
            firstFree = slots[index].nextFree;
        } else if (used < Capacity) {
            index = used++;
        } else {
            return nullptr;
        }
        Slot& slot = slots[index];
        slot.generation = slot.generation == 0 ? 1 : slot.generation;
        slot.live = true;
        slot.record = Record{};
        *handle = reinterpret_cast<void*>((static_cast<std::uintptr_t>(slot.generation) << 24) |
                                          (Tag << 16) | index);
        return &slot.record;
    }

    // Frees the slot of a handle that find accepts; anything else is ignored.
    void remove(const void* handle) {
        if (!find(handle)) {
            return;
        }
        const std::uint32_t index =
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle) & 0xFFFF);
        Slot& slot = slots[index];
        slot.live = false;
        slot.generation = slot.generation + 1 == 0 ? 1 : slot.generation + 1;
        slot.nextFree = firstFree;
        firstFree = index + 1;
    }

  private:
    struct Slot {
        std::uint32_t generation;  // 0 only before first use
        bool live;
        std::uint32_t nextFree;  // while free: the next free slot in the same form as firstFree
        Record record;
    };

    Slot slots[Capacity];
    std::uint32_t used;       // slots ever handed out; those above are untouched
    std::uint32_t firstFree;  // 1 + index of the most recently freed slot, 0 for none
};

}  // namespace shim::gdi
