// Window lookup, device contexts, pens and drawing of win32.h, over the in-memory surfaces and X11.
//
// A device context records its drawing as batches of segments and points, one batch per colour run,
// and renders them all at ReleaseDC: into the surface's pixels, or with XDrawLines/XDrawPoints
// requests per batch on the shared connection followed by one XSync that tells whether the window
// still existed. Lines use the rules of Raster.h on both back ends.
//
// A thread that draws into the same X11 window frame after frame (a drawing worker) keeps its last
// device context's resources: ReleaseDC parks the context on its thread, with its graphics context,
// the window's size and visual and its buffers, and the thread's next GetDC for that window takes it
// back without a round trip to the server. Any X error since it was parked sends GetDC to the server
// again. A parked context goes when its thread ends.
//
// Every call here is noexcept: where memory runs out, the call fails with its failure value and
// leaves the registries as they were.
#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

#include "Raster.h"
#include "Surfaces.h"
#include "X11Connection.h"
#include "platform/win32.h"

namespace platform {
namespace {

// Segments whose coordinates all lie within this range go to the X server, which clips them itself
// with the same pixel rules. Anything further out would wrap around in the protocol's 16-bit
// coordinates, so it is rasterised here and only its visible pixels are sent.
constexpr int32_t kServerCoordinateLimit = 16383;

// Points go to the server in requests of at most this many, and joined segments in chains of at most
// kChainPoints points, from buffers on the stack, so that rendering needs no memory of its own.
constexpr int kRequestItems = 256;
constexpr int kChainPoints = 1024;

// Room for this many segments is made when a device context is opened: a whole 1024-point trace in
// each of two pens.
constexpr size_t kInitialItems = 2048;

struct Pen {
    COLORREF colour = 0;
    int selections = 0;  // device contexts that have it selected; guarded by the object registry lock
    bool stock = false;
};

struct Segment {
    int32_t x0, y0, x1, y1;  // a single pixel (see Batch::points) is stored at (x0, y0) = (x1, y1)
};

struct Batch {
    COLORREF colour;
    bool points;  // true: items are single pixels at (x0, y0)
    size_t begin, end;
};

struct DeviceContext {
    HWND window = 0;
    int width = 0, height = 0;
    std::shared_ptr<Surface> surface;  // in-memory back end
    GC gc = nullptr;  // X11 back end
    PixelFormat format;
    Pen* pen = nullptr;
    POINT position{0, 0};
    std::vector<Segment> items;
    std::vector<Batch> batches;

    // Records one item; false when memory ran out, and then nothing was recorded. Room is made first,
    // out of the common path, so that the appends below cannot throw.
    bool add(COLORREF colour, bool point, const Segment& item) noexcept {
        const bool newBatch = batches.empty() || batches.back().colour != colour || batches.back().points != point;
        if ((items.size() == items.capacity() && !grow(items)) ||
            (newBatch && batches.size() == batches.capacity() && !grow(batches)))
            return false;
        if (newBatch) batches.push_back(Batch{colour, point, items.size(), items.size()});
        items.push_back(item);
        batches.back().end = items.size();
        return true;
    }

    template <class T>
    __attribute__((noinline)) static bool grow(std::vector<T>& v) noexcept {
        try {
            v.reserve(2 * v.capacity() + 16);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Live pens, so that a stale or foreign pen handle fails instead of crashing.
struct Objects {
    std::mutex mutex;  // guards pens, the pens' selection counts and the slots' uses
    std::unordered_set<const void*> pens;
    Pen stockPen;  // GDI's BLACK_PEN: selected in every new device context
    uint32_t nextSlot = 0;  // where the search for a free device context slot starts
};

// Made when the library is loaded, before any thread can use it; never destroyed: workers may still
// run at exit.
Objects* const theObjects = [] {
    auto* o = new Objects;
    o->stockPen.stock = true;
    o->pens.insert(&o->stockPen);
    return o;
}();

Objects& objects() { return *theObjects; }

// Live device contexts. A device context handle is not a pointer: it names one slot of a fixed table
// and how often that slot has been used, as (use << 15) | (slot << 1) | 1. A stale handle no longer
// matches its slot, so it is refused without touching the freed context, even after a new context
// took the slot over. The low bit keeps every handle odd, unlike any pen's address. A slot's use count
// repeats only after 2^17 uses, and free slots are taken round-robin, so that a released handle names
// a live context again only after some two billion GetDC calls while few contexts are open.
constexpr unsigned kDcSlotBits = 14;
constexpr uint32_t kDcSlots = 1u << kDcSlotBits;  // device contexts open at once
constexpr uint32_t kDcUseLimit = 1u << (31 - kDcSlotBits);

struct DcSlot {
    // The handle that names this slot now, 0 while it is free. Written under the objects mutex,
    // read without it by the drawing calls: a device context is used by one thread at a time, so a
    // handle that matches cannot be released meanwhile.
    std::atomic<uint32_t> handle{0};
    std::atomic<DeviceContext*> dc{nullptr};
    uint32_t uses = 0;  // guarded by the objects mutex
};

DcSlot theDcSlots[kDcSlots];  // static storage: no allocation, usable from load to exit

uint32_t handleValue(HDC handle) { return uint32_t(reinterpret_cast<uintptr_t>(handle)); }

DcSlot& slotOf(uint32_t value) { return theDcSlots[(value >> 1) & (kDcSlots - 1)]; }

// The device context a handle names, or null for a null, stale or foreign handle. [one thread per dc]
DeviceContext* liveDc(HDC handle) {
    const uint32_t value = handleValue(handle);
    if ((value & 1u) == 0) return nullptr;
    DcSlot& slot = slotOf(value);
    if (slot.handle.load(std::memory_order_acquire) != value) return nullptr;
    return slot.dc.load(std::memory_order_relaxed);
}

// Gives the device context a free slot and returns its handle, or null when all slots are taken.
// Called with the objects mutex held.
HDC registerDc(Objects& o, DeviceContext* dc) {
    for (uint32_t tried = 0; tried < kDcSlots; ++tried) {
        const uint32_t index = o.nextSlot;
        o.nextSlot = (o.nextSlot + 1) & (kDcSlots - 1);
        DcSlot& slot = theDcSlots[index];
        if (slot.handle.load(std::memory_order_relaxed) != 0) continue;
        slot.uses = (slot.uses + 1) & (kDcUseLimit - 1);
        const uint32_t value = (slot.uses << (kDcSlotBits + 1)) | (index << 1) | 1u;
        slot.dc.store(dc, std::memory_order_relaxed);
        slot.handle.store(value, std::memory_order_release);
        return reinterpret_cast<HDC>(uintptr_t(value));
    }
    return nullptr;
}

// Takes the device context out of the table; null when the handle names none. Called with the
// objects mutex held.
DeviceContext* unregisterDc(HDC handle) {
    DeviceContext* dc = liveDc(handle);
    if (dc) {
        DcSlot& slot = slotOf(handleValue(handle));
        slot.handle.store(0, std::memory_order_release);
        slot.dc.store(nullptr, std::memory_order_relaxed);
    }
    return dc;
}

// Graphics contexts of a lost connection: Xlib frees one only through the connection, which is
// never entered again after the loss. They stay here, a few hundred bytes each, instead of leaking.
GC lostConnectionGcs[256];
std::atomic<unsigned> lostConnectionGcCount{0};

// Frees a device context that never drew: its X11 graphics context, then itself.
void discard(DeviceContext* dc) {
    if (dc->gc) {
        X11Connection* connection = X11Connection::instance();
        std::lock_guard<std::mutex> lock(connection->mutex());
        if (!X11Connection::lost()) {
            XFreeGC(connection->display(), dc->gc);
        } else {
            const unsigned slot = lostConnectionGcCount.fetch_add(1);
            if (slot < 256) lostConnectionGcs[slot] = dc->gc;
        }
    }
    delete dc;
}

bool inServerRange(const Segment& s) {
    auto ok = [](int32_t v) { return v >= -kServerCoordinateLimit && v <= kServerCoordinateLimit; };
    return ok(s.x0) && ok(s.y0) && ok(s.x1) && ok(s.y1);
}

bool renderToSurface(DeviceContext& dc) {
    Surface& surface = *dc.surface;
    std::lock_guard<std::mutex> lock(surface.mutex);
    if (!surface.registered) return false;
    COLORREF* pixels = surface.pixels.data();
    const int width = surface.width, height = surface.height;
    for (const Batch& batch : dc.batches) {
        const COLORREF colour = batch.colour;
        for (size_t i = batch.begin; i < batch.end; ++i) {
            const Segment& s = dc.items[i];
            if (batch.points) {
                if (s.x0 >= 0 && s.y0 >= 0 && s.x0 < width && s.y0 < height)
                    pixels[size_t(s.y0) * size_t(width) + size_t(s.x0)] = colour;
                continue;
            }
            rasteriseSegment(s.x0, s.y0, s.x1, s.y1, width, height,
                             [&](int x, int y) { pixels[size_t(y) * size_t(width) + size_t(x)] = colour; });
        }
    }
    return true;
}

// Segments that join end to start (a trace drawn with LineTo) go as one PolyLine request, half the
// bytes of their segments: a thin line's pixels are the same either way, each segment without its end
// point (the cap style) unless the next segment starts there.
bool renderToX11(DeviceContext& dc) {
    X11Connection* connection = X11Connection::instance();
    Display* display = connection->display();
    std::lock_guard<std::mutex> lock(connection->mutex());
    // A lost connection is not entered again: Xlib's state after the loss can leave a later call
    // waiting for ever. The loss can come with any request that flushes, so it is looked at before
    // each one.
    if (X11Connection::lost()) return false;
    const unsigned long errorsBefore = X11Connection::errorCount();
    XPoint chain[kChainPoints];
    XPoint points[kRequestItems];
    int chainCount = 0, pointCount = 0;
    auto sendChain = [&] {
        if (chainCount > 1 && !X11Connection::lost())
            XDrawLines(display, Window(dc.window), dc.gc, chain, chainCount, CoordModeOrigin);
        chainCount = 0;
    };
    auto sendPoints = [&] {
        if (pointCount > 0 && !X11Connection::lost())
            XDrawPoints(display, Window(dc.window), dc.gc, points, pointCount, CoordModeOrigin);
        pointCount = 0;
    };
    auto addPoint = [&](int x, int y) {
        if (pointCount == kRequestItems) sendPoints();
        points[pointCount++] = XPoint{short(x), short(y)};
    };
    for (const Batch& batch : dc.batches) {
        if (X11Connection::lost()) return false;
        XSetForeground(display, dc.gc, dc.format.toPixel(batch.colour));
        for (size_t i = batch.begin; i < batch.end; ++i) {
            const Segment& s = dc.items[i];
            if (batch.points) {
                if (dc.inside(s.x0, s.y0)) addPoint(s.x0, s.y0);
            } else if (inServerRange(s)) {
                const bool joins = chainCount > 0 && chain[chainCount - 1].x == s.x0 && chain[chainCount - 1].y == s.y0;
                if (!joins || chainCount == kChainPoints) {
                    sendChain();  // a full chain ends where the next one starts
                    chain[chainCount++] = XPoint{short(s.x0), short(s.y0)};
                }
                chain[chainCount++] = XPoint{short(s.x1), short(s.y1)};
            } else {
                sendChain();
                rasteriseSegment(s.x0, s.y0, s.x1, s.y1, dc.width, dc.height, addPoint);
            }
        }
        sendChain();
        sendPoints();
    }
    if (X11Connection::lost()) return false;
    XSync(display, False);
    return X11Connection::errorCount() == errorsBefore && !X11Connection::lost();
}

// The device context this thread released last into an X11 window, kept for its next GetDC of
// the same window; freed when the thread ends.
struct ParkedContext {
    DeviceContext* dc = nullptr;
    unsigned long errorsWhenParked = 0;
    ~ParkedContext() { clear(); }
    void clear() {
        if (dc) discard(dc);
        dc = nullptr;
    }
    // The parked context when it is for window and no X error came since it was parked, else null.
    DeviceContext* take(HWND window) {
        if (!dc) return nullptr;
        if (dc->window != window || X11Connection::errorCount() != errorsWhenParked) {
            clear();
            return nullptr;
        }
        DeviceContext* taken = dc;
        dc = nullptr;
        return taken;
    }
};
thread_local ParkedContext parked;

// Keeps a released X11 context for this thread's next frame; false when one is kept already.
bool park(DeviceContext* dc) {
    if (parked.dc || !dc->gc) return false;
    dc->items.clear();
    dc->batches.clear();
    dc->pen = nullptr;
    dc->position = POINT{0, 0};
    parked.dc = dc;
    parked.errorsWhenParked = X11Connection::errorCount();
    return true;
}

// Opens an X11 device context: checks that the window exists and learns its size and visual.
bool openX11(DeviceContext& dc) {
    X11Connection* connection = X11Connection::instance();
    if (!connection) return false;
    Display* display = connection->display();
    std::lock_guard<std::mutex> lock(connection->mutex());
    XWindowAttributes attributes;
    if (X11Connection::lost() || !XGetWindowAttributes(display, Window(dc.window), &attributes)) return false;
    dc.width = attributes.width;
    dc.height = attributes.height;
    dc.format = PixelFormat::of(attributes.visual, attributes.depth);
    XGCValues values;
    values.line_width = 0;
    values.line_style = LineSolid;
    values.cap_style = CapNotLast;  // GDI's LineTo leaves out the end point
    values.graphics_exposures = False;
    dc.gc =
        XCreateGC(display, Window(dc.window), GCLineWidth | GCLineStyle | GCCapStyle | GCGraphicsExposures, &values);
    return dc.gc != nullptr;
}

}  // namespace

namespace {
std::atomic<unsigned long> drawings{0};
}  // namespace

void countDrawing() { drawings.fetch_add(1, std::memory_order_relaxed); }

unsigned long drawingCount() { return drawings.load(std::memory_order_relaxed); }

}  // namespace platform

using namespace platform;

extern "C" {

HWND FindWindowA(LPCSTR className, LPCSTR windowName) noexcept {
    (void)className;
    if (!windowName) return 0;
    if (HWND surface = findSurfaceByTitle(windowName)) return surface;
    X11Connection* connection = X11Connection::instance();
    return connection ? connection->findWindowByName(windowName) : 0;
}

HDC GetDC(HWND window) noexcept {
    if (window == 0) return nullptr;
    std::shared_ptr<Surface> surface = findSurface(window);
    DeviceContext* dc = surface ? nullptr : parked.take(window);
    if (!dc) {
        dc = new (std::nothrow) DeviceContext;
        if (!dc) return nullptr;
        try {
            dc->items.reserve(kInitialItems);
        } catch (const std::bad_alloc&) {
            delete dc;
            return nullptr;
        }
        dc->window = window;
        if ((dc->surface = std::move(surface))) {
            dc->width = dc->surface->width;
            dc->height = dc->surface->height;
        } else if (!openX11(*dc)) {
            discard(dc);
            return nullptr;
        }
    }
    HDC handle;
    {
        Objects& o = objects();
        std::lock_guard<std::mutex> lock(o.mutex);
        dc->pen = &o.stockPen;
        handle = registerDc(o, dc);
        if (handle) ++o.stockPen.selections;
    }
    if (!handle) discard(dc);
    return handle;
}

int ReleaseDC(HWND window, HDC handle) noexcept {
    std::unique_ptr<DeviceContext> dc;
    {
        Objects& o = objects();
        std::lock_guard<std::mutex> lock(o.mutex);
        dc.reset(unregisterDc(handle));
        if (!dc) return 0;
        --dc->pen->selections;
    }
    const bool drawn = dc->surface ? renderToSurface(*dc) : renderToX11(*dc);
    if (drawn) platform::countDrawing();
    const int result = drawn && dc->window == window ? 1 : 0;
    // A window that went away keeps nothing parked; otherwise the context waits for the next frame.
    if (drawn && !dc->surface && park(dc.get()))
        dc.release();
    else if (dc->gc)
        discard(dc.release());
    return result;
}

HPEN CreatePen(int style, int width, COLORREF colour) noexcept {
    if (style != PS_SOLID || width < 0 || width > 1) return nullptr;
    auto* pen = new (std::nothrow) Pen;
    if (!pen) return nullptr;
    pen->colour = colour & 0xFFFFFFu;
    Objects& o = objects();
    std::lock_guard<std::mutex> lock(o.mutex);
    try {
        o.pens.insert(pen);
    } catch (const std::bad_alloc&) {
        delete pen;
        return nullptr;
    }
    return pen;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) noexcept {
    Objects& o = objects();
    std::lock_guard<std::mutex> lock(o.mutex);
    DeviceContext* dc = liveDc(handle);
    if (!dc || !object || !o.pens.count(object)) return nullptr;
    auto* pen = static_cast<Pen*>(object);
    Pen* previous = dc->pen;
    --previous->selections;
    ++pen->selections;
    dc->pen = pen;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) noexcept {
    Objects& o = objects();
    std::lock_guard<std::mutex> lock(o.mutex);
    if (!object || !o.pens.count(object)) return 0;
    auto* pen = static_cast<Pen*>(object);
    if (pen->stock) return 1;
    if (pen->selections > 0)  // as GDI: an object selected into a device context cannot be deleted
        return 0;
    o.pens.erase(object);
    delete pen;
    return 1;
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous) noexcept {
    DeviceContext* dc = liveDc(handle);
    if (!dc) return 0;
    if (previous) *previous = dc->position;
    dc->position = POINT{x, y};
    return 1;
}

BOOL LineTo(HDC handle, int x, int y) noexcept {
    DeviceContext* dc = liveDc(handle);
    if (!dc) return 0;
    if ((x != dc->position.x || y != dc->position.y) &&
        !dc->add(dc->pen->colour, false, Segment{dc->position.x, dc->position.y, x, y}))
        return 0;
    dc->position = POINT{x, y};
    return 1;
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF colour) noexcept {
    DeviceContext* dc = liveDc(handle);
    if (!dc || !dc->inside(x, y)) return CLR_INVALID;
    colour &= 0xFFFFFFu;
    if (!dc->add(colour, true, Segment{x, y, x, y})) return CLR_INVALID;
    return colour;
}

}  // extern "C"
