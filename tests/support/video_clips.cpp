#include "support/video_clips.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cmath>
#include <cstring>
#include <mutex>

#include "media/gst_ptr.h"

namespace kelpa::test {

bool WriteClip(const std::string& path, const ClipParams& clip, std::string* error) {
    // Grey frames are written as I420 and converted to the clip's format on the way.
    std::string description = "appsrc name=src format=time ! videoconvert ! video/x-raw,format=" +
                              std::string(clip.format) + " ! ";
    if (clip.encoder) description += std::string(clip.encoder) + " ! ";
    description += std::string(clip.muxer) + " ! filesink name=out";
    GErrorPtr parseError;
    GstElementPtr pipeline =
        AdoptFloating(gst_parse_launch(description.c_str(), OutPtr(parseError)));
    if (!pipeline || parseError) {
        *error = parseError ? parseError->message : "cannot make " + description;
        return false;
    }
    GstElementPtr src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    gst_child_proxy_set(GST_CHILD_PROXY(pipeline.get()), "out::location", path.c_str(), nullptr);
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, clip.width, clip.height);
    GST_VIDEO_INFO_FPS_N(&info) = clip.rateNum;
    GST_VIDEO_INFO_FPS_D(&info) = clip.rateDen;
    GstCapsPtr caps(gst_video_info_to_caps(&info));
    g_object_set(src.get(), "caps", caps.get(), nullptr);

    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    const GstClockTime period = gst_util_uint64_scale(GST_SECOND, clip.rateDen, clip.rateNum);
    for (int i = 0; i < clip.frames; ++i) {
        const size_t lumaSize =
            size_t(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0)) * GST_VIDEO_INFO_HEIGHT(&info);
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
        gst_buffer_memset(buffer, 0, 128, GST_VIDEO_INFO_SIZE(&info));  // no colour
        const int studioLuma = 16 + (FrameLevel(i) * 219 + 127) / 255;
        gst_buffer_memset(buffer, 0, static_cast<uint8_t>(studioLuma), lumaSize);
        GST_BUFFER_PTS(buffer) = i * period;
        GST_BUFFER_DURATION(buffer) = period;
        if (gst_app_src_push_buffer(GST_APP_SRC(src.get()), buffer) != GST_FLOW_OK) break;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src.get()));

    GstBusPtr bus(gst_element_get_bus(pipeline.get()));
    GstMessagePtr message(gst_bus_timed_pop_filtered(
        bus.get(), 60 * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS) return true;
    GErrorPtr gerror;
    if (message) gst_message_parse_error(message.get(), OutPtr(gerror), nullptr);
    *error = gerror ? gerror->message : "no end of stream while writing " + path;
    return false;
}

int ShownFrame(VideoSurf& surf) {
    std::lock_guard lock(surf.PictureLock());
    const FrameBuffer& picture = surf.Picture();
    if (!picture.data || picture.width <= 0 || picture.height <= 0) return -1;
    const uint8_t* centre =
        picture.data + size_t(picture.stride) * (picture.height / 2) + 3 * (picture.width / 2);
    // Colour conversions on the way come out between 3 levels low (GStreamer's) and 1 high.
    return static_cast<int>(std::lround((centre[1] - FrameLevel(0) + 1.0) / 5.0));
}

}  // namespace kelpa::test
