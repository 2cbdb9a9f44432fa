#include "user/owner_map.h"

#include <algorithm>

#include "base/verify.h"
#include "gdi/pixel_runs.h"
#include "user/window.h"

namespace sim {

namespace {

void add_layers(const Window* w, const Rect& clip, std::vector<OwnerLayer>* out) {
    Rect r = screen_rect(w).intersect(clip);
    if (r.empty()) return;
    out->push_back({w->handle, r});
    Point o = client_origin(w);
    Rect client = client_rect(w).offset(o.x, o.y).intersect(r);
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it)
        if ((*it)->style & WS_VISIBLE) add_layers(*it, client, out);
}

void note_gain(std::vector<OwnerGain>* gained, uint32_t handle, const Rect& r) {
    for (OwnerGain& g : *gained)
        if (g.handle == handle) {
            g.area = g.area.unite(r);
            return;
        }
    gained->push_back({handle, r});
}

// The frontmost layer at a screen pixel, worked out from the layers alone.
uint32_t layer_at(const std::vector<OwnerLayer>& layers, int x, int y) {
    for (auto it = layers.rbegin(); it != layers.rend(); ++it)
        if (it->area.contains(x, y)) return it->handle;
    return 0;
}

bool corners_ok(const std::vector<OwnerLayer>& layers, const OwnerPixels& owner, const Rect& r) {
    if (r.empty()) return true;
    for (int y : {r.top, r.bottom - 1})
        for (int x : {r.left, r.right - 1})
            if (owner[y][x] != layer_at(layers, x, y)) return false;
    return true;
}

}  // namespace

bool owner_map_ok(const std::vector<OwnerLayer>& layers, const OwnerPixels& owner) {
    // The rows between two layers' top or bottom edges are alike: each
    // band's row is worked out once, painting the layers back to front.
    std::vector<int> edges{0, kScreenHeight};
    for (const OwnerLayer& l : layers) {
        edges.push_back(std::clamp(l.area.top, 0, kScreenHeight));
        edges.push_back(std::clamp(l.area.bottom, 0, kScreenHeight));
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    uint32_t row[kScreenWidth];
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
        std::fill_n(row, kScreenWidth, 0u);
        for (const OwnerLayer& l : layers) {
            Rect r = l.area.intersect(Framebuffer::bounds());
            if (r.top <= edges[e] && edges[e] < r.bottom) std::fill_n(row + r.left, r.width(), l.handle);
        }
        for (int y = edges[e]; y < edges[e + 1]; ++y)
            if (!std::equal(row, row + kScreenWidth, owner[y])) return false;
    }
    return true;
}

bool owner_map_ok_at(const std::vector<OwnerLayer>& layers, const OwnerPixels& owner, const std::vector<Rect>& changed) {
    const Rect screen = Framebuffer::bounds();
    Rect bounds;
    for (const Rect& r : changed) {
        if (!corners_ok(layers, owner, r.intersect(screen))) return false;
        bounds = bounds.unite(r);
    }
    bounds = bounds.intersect(screen);
    for (const OwnerLayer& l : layers) {
        // A layer is a window's pixels on the screen: never empty, never outside it.
        if (!l.handle || l.area.empty() || !(l.area.intersect(screen) == l.area)) return false;
        if (!corners_ok(layers, owner, l.area.intersect(bounds))) return false;
    }
    return true;
}

void list_owner_layers(const std::vector<Window*>& top_level, std::vector<OwnerLayer>* out) {
    out->clear();
    for (auto it = top_level.rbegin(); it != top_level.rend(); ++it)
        if ((*it)->style & WS_VISIBLE) add_layers(*it, Framebuffer::bounds(), out);
}

// The layers both lists hold, with the same area and in the same order
// among themselves, cover the same pixels in the same order before and
// after: a pixel that none of the others (old or new) covers keeps its
// owner.  So the damage is the area of every other layer; the common ones
// are the longest common subsequence of the two lists (after the common
// front and back, which are most of them).
void OwnerMap::update(const std::vector<OwnerLayer>& layers, OwnerPixels& owner, std::vector<OwnerGain>* gained) {
    if (gained) gained->clear();
    damage_.clear();
    const size_t n = shown_.size(), m = layers.size();
    size_t head = 0;
    while (head < n && head < m && shown_[head] == layers[head]) ++head;
    size_t tail = 0;
    while (tail < n - head && tail < m - head && shown_[n - 1 - tail] == layers[m - 1 - tail]) ++tail;
    const size_t a = n - head - tail, b = m - head - tail;
    if (a && b) {
        // lcs_[i * (b + 1) + j]: the longest common subsequence of the old
        // middle from i and the new middle from j.
        const size_t w = b + 1;
        lcs_.assign((a + 1) * w, 0);
        for (size_t i = a; i-- > 0;)
            for (size_t j = b; j-- > 0;)
                lcs_[i * w + j] = shown_[head + i] == layers[head + j]
                                      ? lcs_[(i + 1) * w + j + 1] + 1
                                      : std::max(lcs_[(i + 1) * w + j], lcs_[i * w + j + 1]);
        size_t i = 0, j = 0;
        while (i < a || j < b) {
            if (i < a && j < b && shown_[head + i] == layers[head + j]) {
                ++i;
                ++j;
            } else if (j == b || (i < a && lcs_[(i + 1) * w + j] >= lcs_[i * w + j + 1])) {
                damage_.push_back(shown_[head + i++].area);
            } else {
                damage_.push_back(layers[head + j++].area);
            }
        }
    } else {
        for (size_t i = 0; i < a; ++i) damage_.push_back(shown_[head + i].area);
        for (size_t j = 0; j < b; ++j) damage_.push_back(layers[head + j].area);
    }
    if (!damage_.empty()) {
        repaint(damage_, layers, owner, gained);
        VERIFY(owner_map_ok_at(layers, owner, damage_));
        VERIFY_WHOLE(owner_map_ok(layers, owner));
    }
    shown_.assign(layers.begin(), layers.end());
    if (gained)
        std::sort(gained->begin(), gained->end(),
                  [](const OwnerGain& x, const OwnerGain& y) { return x.handle < y.handle; });
}

// Paints the layers again inside the damaged rectangles, in bands of rows
// in which the same rectangles and layers are met, so that a band's new
// row is made once; each pixel whose owner changes is written once.
void OwnerMap::repaint(const std::vector<Rect>& damage, const std::vector<OwnerLayer>& layers, OwnerPixels& owner,
                       std::vector<OwnerGain>* gained) {
    Rect bounds;
    for (const Rect& r : damage) bounds = bounds.unite(r);
    bounds = bounds.intersect(Framebuffer::bounds());
    if (bounds.empty()) return;
    edges_.clear();
    edges_.push_back(bounds.top);
    edges_.push_back(bounds.bottom);
    auto edge = [&](int y) {
        if (y > bounds.top && y < bounds.bottom) edges_.push_back(y);
    };
    for (const Rect& r : damage) {
        edge(r.top);
        edge(r.bottom);
    }
    for (const OwnerLayer& l : layers) {
        edge(l.area.top);
        edge(l.area.bottom);
    }
    std::sort(edges_.begin(), edges_.end());
    edges_.erase(std::unique(edges_.begin(), edges_.end()), edges_.end());

    uint32_t row[kScreenWidth];
    for (size_t e = 0; e + 1 < edges_.size(); ++e) {
        const int top = edges_[e], bottom = edges_[e + 1];
        spans_.clear();
        for (const Rect& r : damage)
            if (r.top <= top && top < r.bottom) {
                int left = std::max(r.left, bounds.left), right = std::min(r.right, bounds.right);
                if (left < right) spans_.push_back({left, right});
            }
        if (spans_.empty()) continue;
        std::sort(spans_.begin(), spans_.end());
        size_t merged = 0;
        for (size_t s = 1; s < spans_.size(); ++s) {
            if (spans_[s].first <= spans_[merged].second)
                spans_[merged].second = std::max(spans_[merged].second, spans_[s].second);
            else
                spans_[++merged] = spans_[s];
        }
        spans_.resize(merged + 1);

        for (auto [left, right] : spans_) fill_run(row + left, right - left, 0u);
        for (const OwnerLayer& l : layers) {
            if (l.area.top > top || top >= l.area.bottom) continue;
            for (auto [left, right] : spans_) {
                int from = std::max(left, l.area.left), to = std::min(right, l.area.right);
                if (from < to) fill_run(row + from, to - from, l.handle);
            }
        }
        // The band's row as runs of one owner, each with the bounds of the
        // pixels it changes over the band's rows.
        runs_.clear();
        for (auto [left, right] : spans_)
            for (int x = left; x < right;) {
                int end = x + 1;
                while (end < right && row[end] == row[x]) ++end;
                runs_.push_back({x, end, row[x], Rect{}});
                x = end;
            }
        for (int y = top; y < bottom; ++y) {
            uint32_t* dst = owner[y];
            for (Run& run : runs_) {
                int first = run.left;
                while (first < run.right && dst[first] == run.owner) ++first;
                if (first == run.right) continue;
                int last = run.right - 1;
                while (dst[last] == run.owner) --last;
                fill_run(dst + first, last + 1 - first, run.owner);
                run.changed = run.changed.unite({first, y, last + 1, y + 1});
            }
        }
        if (gained)
            for (const Run& run : runs_)
                if (run.owner && !run.changed.empty()) note_gain(gained, run.owner, run.changed);
    }
}

void OwnerMap::clear(OwnerPixels& owner) {
    for (auto& row : owner) fill_run(row, kScreenWidth, 0u);
    shown_.clear();
}

}  // namespace sim
