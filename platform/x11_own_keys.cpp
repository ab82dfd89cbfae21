#include "platform/x11_own_keys.h"

#include <algorithm>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::vector<OwnGrab> g_grabs;  // a key grabbed twice (two hotkeys) is listed twice
std::vector<unsigned> g_spare; // likewise for keys bound by two keyboards

template <typename T> void EraseOne(std::vector<T>* items, const T& item) {
    if (auto it = std::find(items->begin(), items->end(), item); it != items->end())
        items->erase(it);
}

} // namespace

void AddOwnGrabs(const std::vector<OwnGrab>& grabs) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_grabs.insert(g_grabs.end(), grabs.begin(), grabs.end());
}

void RemoveOwnGrabs(const std::vector<OwnGrab>& grabs) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const OwnGrab& grab : grabs)
        EraseOne(&g_grabs, grab);
}

bool IsOwnGrab(unsigned keycode, unsigned state) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::find(g_grabs.begin(), g_grabs.end(), OwnGrab{keycode, state}) != g_grabs.end();
}

void EraseOwnGrabs(std::vector<OwnGrab>* grabs) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::erase_if(*grabs, [](const OwnGrab& grab) {
        return std::find(g_grabs.begin(), g_grabs.end(), grab) != g_grabs.end();
    });
}

void AddSpareKey(unsigned keycode) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_spare.push_back(keycode);
}

void RemoveSpareKey(unsigned keycode) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EraseOne(&g_spare, keycode);
}

bool IsSpareKey(unsigned keycode) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::find(g_spare.begin(), g_spare.end(), keycode) != g_spare.end();
}

} // namespace platform
