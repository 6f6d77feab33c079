// Owning, move-only handles for GStreamer and GLib references, so that every error path
// releases what it holds. Each handle owns exactly one reference (or one allocation).
#pragma once

#include <gst/gst.h>

#include <memory>
#include <type_traits>

namespace kelpa {

// Releases one reference of any GstObject (elements, pads, buses, clocks, devices, providers,
// monitors, buffer pools).
struct GstObjectUnref {
    void operator()(void* object) const { gst_object_unref(object); }
};

// Releases one reference of any GstMiniObject (caps, buffers, samples, messages, events,
// queries).
struct GstMiniObjectUnref {
    template <typename T>
    void operator()(T* object) const {
        gst_mini_object_unref(GST_MINI_OBJECT_CAST(object));
    }
};

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};

struct GstStructureFree {
    void operator()(GstStructure* structure) const { gst_structure_free(structure); }
};

struct GstIteratorFree {
    void operator()(GstIterator* iterator) const { gst_iterator_free(iterator); }
};

template <typename T>
using GstObjectPtr = std::unique_ptr<T, GstObjectUnref>;
using GstElementPtr = GstObjectPtr<GstElement>;
using GstPadPtr = GstObjectPtr<GstPad>;
using GstBusPtr = GstObjectPtr<GstBus>;
using GstClockPtr = GstObjectPtr<GstClock>;
using GstDevicePtr = GstObjectPtr<GstDevice>;
using GstDeviceMonitorPtr = GstObjectPtr<GstDeviceMonitor>;
using GstBufferPoolPtr = GstObjectPtr<GstBufferPool>;

template <typename T>
using GstMiniObjectPtr = std::unique_ptr<T, GstMiniObjectUnref>;
using GstCapsPtr = GstMiniObjectPtr<GstCaps>;
using GstBufferPtr = GstMiniObjectPtr<GstBuffer>;
using GstSamplePtr = GstMiniObjectPtr<GstSample>;
using GstMessagePtr = GstMiniObjectPtr<GstMessage>;
using GstEventPtr = GstMiniObjectPtr<GstEvent>;
using GstQueryPtr = GstMiniObjectPtr<GstQuery>;

using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GCharPtr = std::unique_ptr<gchar, GFree>;
using GstStructurePtr = std::unique_ptr<GstStructure, GstStructureFree>;
using GstIteratorPtr = std::unique_ptr<GstIterator, GstIteratorFree>;

// Takes a new reference to a borrowed GstObject: the caller keeps its own.
template <typename T>
GstObjectPtr<T> RefObject(T* object) {
    if (object != nullptr) gst_object_ref(object);
    return GstObjectPtr<T>(object);
}

// Takes ownership of a freshly created GstObject, sinking its floating reference (elements
// from gst_element_factory_make, pads, devices). Adding the element to a bin later takes a
// reference of its own, so the handle stays valid and balanced.
template <typename T>
GstObjectPtr<T> AdoptFloating(T* object) {
    if (object != nullptr) gst_object_ref_sink(object);
    return GstObjectPtr<T>(object);
}

// Takes a new reference to a borrowed GstMiniObject.
template <typename T>
GstMiniObjectPtr<T> RefMini(T* object) {
    if (object != nullptr) gst_mini_object_ref(GST_MINI_OBJECT_CAST(object));
    return GstMiniObjectPtr<T>(object);
}

// Lets a C function fill a handle through an out-parameter, as in
//     GErrorPtr error; GCharPtr debug;
//     gst_message_parse_error(msg, OutPtr(error), OutPtr(debug));
// The handle receives the pointer when the full expression ends. Not for variadic functions
// such as g_object_get: an object passed through "..." is not converted to a pointer.
template <typename Ptr>
class OutPtr {
  public:
    using Pointer = typename Ptr::pointer;

    explicit OutPtr(Ptr& owner) : owner_(owner) {}
    ~OutPtr() { owner_.reset(raw_); }
    OutPtr(const OutPtr&) = delete;
    OutPtr& operator=(const OutPtr&) = delete;

    operator Pointer*() { return &raw_; }

  private:
    Ptr& owner_;
    Pointer raw_ = nullptr;
};

// Maps a buffer for the lifetime of the object; Ok() tells whether the mapping succeeded.
class BufferMapping {
  public:
    BufferMapping(GstBuffer* buffer, GstMapFlags flags)
        : buffer_(buffer), ok_(buffer != nullptr && gst_buffer_map(buffer, &info_, flags)) {}
    ~BufferMapping() {
        if (ok_) gst_buffer_unmap(buffer_, &info_);
    }
    BufferMapping(const BufferMapping&) = delete;
    BufferMapping& operator=(const BufferMapping&) = delete;

    bool Ok() const { return ok_; }
    guint8* Data() const { return ok_ ? info_.data : nullptr; }
    gsize Size() const { return ok_ ? info_.size : 0; }

  private:
    GstBuffer* buffer_;
    GstMapInfo info_{};
    bool ok_;
};

}  // namespace kelpa
