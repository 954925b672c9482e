// Window lookup, device contexts, pens and drawing of win32.h, over the in-memory surfaces and X11.
//
// A device context records its drawing as batches of segments and points, one batch per colour run,
// and renders them all at ReleaseDC: into the surface's pixels, or with one XDrawSegments/XDrawPoints
// per batch on the shared connection followed by one XSync that tells whether the window still
// existed. Lines use the rules of Raster.h on both back ends.
#include <X11/Xlib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "Raster.h"
#include "Surfaces.h"
#include "X11Connection.h"
#include "win32.h"

namespace platform {
namespace {

// Segments whose coordinates all lie within this range go to the X server, which clips them itself
// with the same pixel rules. Anything further out would wrap around in the protocol's 16-bit
// coordinates, so it is rasterised here and only its visible pixels are sent.
constexpr int32_t kServerCoordinateLimit = 16383;

constexpr uint32_t kPenMagic = 0x50454E31;
constexpr uint32_t kDcMagic = 0x44434F31;

struct Pen {
    uint32_t magic = kPenMagic;
    COLORREF colour = 0;
    int selections = 0;   // device contexts that have it selected; guarded by the object registry lock
    bool stock = false;
};

struct Segment {
    int32_t x0, y0, x1, y1;   // a single pixel (see Batch::points) is stored at (x0, y0) = (x1, y1)
};

struct Batch {
    COLORREF colour;
    bool points;   // true: items are single pixels at (x0, y0)
    size_t begin, end;
};

struct DeviceContext {
    uint32_t magic = kDcMagic;
    HWND window = 0;
    int width = 0, height = 0;
    std::shared_ptr<Surface> surface;   // in-memory back end
    GC gc = nullptr;                    // X11 back end
    PixelFormat format;
    Pen* pen = nullptr;
    POINT position{0, 0};
    std::vector<Segment> items;
    std::vector<Batch> batches;

    void add(COLORREF colour, bool point, const Segment& item)
    {
        if (batches.empty() || batches.back().colour != colour || batches.back().points != point)
            batches.push_back(Batch{colour, point, items.size(), items.size()});
        items.push_back(item);
        batches.back().end = items.size();
    }

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Live pens and device contexts, so that a stale or foreign handle fails instead of crashing.
struct Objects {
    std::mutex mutex;
    std::unordered_set<const void*> live;
    Pen stockPen;   // GDI's BLACK_PEN: selected in every new device context
};

// Made when the library is loaded, before any thread can use it; never destroyed: workers may still
// run at exit.
Objects* const theObjects = [] {
    auto* o = new Objects;
    o->stockPen.stock = true;
    o->live.insert(&o->stockPen);
    return o;
}();

Objects& objects()
{
    return *theObjects;
}

DeviceContext* checkedDc(HDC dc)
{
    auto* context = static_cast<DeviceContext*>(dc);
    return context && context->magic == kDcMagic ? context : nullptr;
}

bool inServerRange(const Segment& s)
{
    auto ok = [](int32_t v) { return v >= -kServerCoordinateLimit && v <= kServerCoordinateLimit; };
    return ok(s.x0) && ok(s.y0) && ok(s.x1) && ok(s.y1);
}

bool renderToSurface(DeviceContext& dc)
{
    Surface& surface = *dc.surface;
    std::lock_guard<std::mutex> lock(surface.mutex);
    if (!surface.registered)
        return false;
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

bool renderToX11(DeviceContext& dc)
{
    X11Connection* connection = X11Connection::instance();
    Display* display = connection->display();
    std::lock_guard<std::mutex> lock(connection->mutex());
    const unsigned long errorsBefore = X11Connection::errorCount();
    std::vector<XSegment> segments;
    std::vector<XPoint> points;
    for (const Batch& batch : dc.batches) {
        segments.clear();
        points.clear();
        auto addPoint = [&](int x, int y) { points.push_back(XPoint{short(x), short(y)}); };
        for (size_t i = batch.begin; i < batch.end; ++i) {
            const Segment& s = dc.items[i];
            if (batch.points) {
                if (dc.inside(s.x0, s.y0))
                    addPoint(s.x0, s.y0);
            } else if (inServerRange(s)) {
                segments.push_back(XSegment{short(s.x0), short(s.y0), short(s.x1), short(s.y1)});
            } else {
                rasteriseSegment(s.x0, s.y0, s.x1, s.y1, dc.width, dc.height, addPoint);
            }
        }
        XSetForeground(display, dc.gc, dc.format.toPixel(batch.colour));
        if (!segments.empty())
            XDrawSegments(display, Window(dc.window), dc.gc, segments.data(), int(segments.size()));
        if (!points.empty())
            XDrawPoints(display, Window(dc.window), dc.gc, points.data(), int(points.size()), CoordModeOrigin);
    }
    XFreeGC(display, dc.gc);
    dc.gc = nullptr;
    XSync(display, False);
    return X11Connection::errorCount() == errorsBefore;
}

// Opens an X11 device context: checks that the window exists and learns its size and visual.
bool openX11(DeviceContext& dc)
{
    X11Connection* connection = X11Connection::instance();
    if (!connection)
        return false;
    Display* display = connection->display();
    std::lock_guard<std::mutex> lock(connection->mutex());
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, Window(dc.window), &attributes))
        return false;
    dc.width = attributes.width;
    dc.height = attributes.height;
    dc.format = PixelFormat::of(attributes.visual, attributes.depth);
    XGCValues values;
    values.line_width = 0;
    values.line_style = LineSolid;
    values.cap_style = CapNotLast;   // GDI's LineTo leaves out the end point
    values.graphics_exposures = False;
    dc.gc = XCreateGC(display, Window(dc.window), GCLineWidth | GCLineStyle | GCCapStyle | GCGraphicsExposures,
                      &values);
    return dc.gc != nullptr;
}

}  // namespace

namespace {
std::atomic<unsigned long> drawings{0};
}  // namespace

void countDrawing()
{
    drawings.fetch_add(1, std::memory_order_relaxed);
}

unsigned long drawingCount()
{
    return drawings.load(std::memory_order_relaxed);
}

}  // namespace platform

using namespace platform;

extern "C" {

HWND FindWindowA(LPCSTR className, LPCSTR windowName)
{
    (void)className;
    if (!windowName)
        return 0;
    if (HWND surface = findSurfaceByTitle(windowName))
        return surface;
    X11Connection* connection = X11Connection::instance();
    return connection ? connection->findWindowByName(windowName) : 0;
}

HDC GetDC(HWND window)
{
    if (window == 0)
        return nullptr;
    auto dc = std::make_unique<DeviceContext>();
    dc->window = window;
    if ((dc->surface = findSurface(window))) {
        dc->width = dc->surface->width;
        dc->height = dc->surface->height;
    } else if (!openX11(*dc)) {
        return nullptr;
    }
    dc->items.reserve(2048);
    Objects& o = objects();
    std::lock_guard<std::mutex> lock(o.mutex);
    dc->pen = &o.stockPen;
    ++o.stockPen.selections;
    o.live.insert(dc.get());
    return dc.release();
}

int ReleaseDC(HWND window, HDC handle)
{
    std::unique_ptr<DeviceContext> dc;
    {
        Objects& o = objects();
        std::lock_guard<std::mutex> lock(o.mutex);
        if (!handle || o.live.erase(handle) == 0)
            return 0;
        dc.reset(static_cast<DeviceContext*>(handle));
        --dc->pen->selections;
    }
    dc->magic = 0;
    const bool drawn = dc->surface ? renderToSurface(*dc) : renderToX11(*dc);
    if (drawn)
        platform::countDrawing();
    return drawn && dc->window == window ? 1 : 0;
}

HPEN CreatePen(int style, int width, COLORREF colour)
{
    if (style != PS_SOLID || width < 0 || width > 1)
        return nullptr;
    auto* pen = new Pen;
    pen->colour = colour & 0xFFFFFFu;
    Objects& o = objects();
    std::lock_guard<std::mutex> lock(o.mutex);
    o.live.insert(pen);
    return pen;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object)
{
    Objects& o = objects();
    std::lock_guard<std::mutex> lock(o.mutex);
    if (!handle || !object || !o.live.count(handle) || !o.live.count(object))
        return nullptr;
    auto* dc = static_cast<DeviceContext*>(handle);
    auto* pen = static_cast<Pen*>(object);
    if (dc->magic != kDcMagic || pen->magic != kPenMagic)
        return nullptr;
    Pen* previous = dc->pen;
    --previous->selections;
    ++pen->selections;
    dc->pen = pen;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object)
{
    Objects& o = objects();
    std::lock_guard<std::mutex> lock(o.mutex);
    if (!object || !o.live.count(object))
        return 0;
    auto* pen = static_cast<Pen*>(object);
    if (pen->magic != kPenMagic)
        return 0;
    if (pen->stock)
        return 1;
    if (pen->selections > 0)   // as GDI: an object selected into a device context cannot be deleted
        return 0;
    o.live.erase(object);
    pen->magic = 0;
    delete pen;
    return 1;
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous)
{
    DeviceContext* dc = checkedDc(handle);
    if (!dc)
        return 0;
    if (previous)
        *previous = dc->position;
    dc->position = POINT{x, y};
    return 1;
}

BOOL LineTo(HDC handle, int x, int y)
{
    DeviceContext* dc = checkedDc(handle);
    if (!dc)
        return 0;
    if (x != dc->position.x || y != dc->position.y)
        dc->add(dc->pen->colour, false, Segment{dc->position.x, dc->position.y, x, y});
    dc->position = POINT{x, y};
    return 1;
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF colour)
{
    DeviceContext* dc = checkedDc(handle);
    if (!dc || !dc->inside(x, y))
        return CLR_INVALID;
    colour &= 0xFFFFFFu;
    dc->add(colour, true, Segment{x, y, x, y});
    return colour;
}

}  // extern "C"
