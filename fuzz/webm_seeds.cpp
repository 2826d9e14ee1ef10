// Writes the seed corpus of the WebM fuzz target into the directory given as
// its argument: highlights as the game writes them, with known and unknown
// sizes, cut short at each part, and with each check failing. Made by the
// test writer, so that no binary file is kept in the repository.
#include <cstdio>
#include <string>

#include "media/WebmWriter.h"

using namespace Corvan::Media;

namespace {

WebmOptions Small() {
  WebmOptions options;
  options.framesPerCluster = 2;
  options.videoFrameBytes = 24;
  options.audioFrameBytes = 8;
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: webm_seeds DIRECTORY\n");
    return 2;
  }
  const std::string directory = argv[1];
  bool written = true;
  const auto seed = [&](const char* name, const std::string& bytes) {
    written = WriteFileBytes(directory + "/" + name + ".webm", bytes) && written;
  };

  const WebmImage game = BuildWebm(Small());
  seed("game", game.bytes);
  seed("cut-header", TruncatedInside(game, WebmPart::EbmlHeader));
  seed("cut-info", TruncatedInside(game, WebmPart::Info));
  seed("cut-tracks", TruncatedInside(game, WebmPart::Tracks));
  seed("cut-cluster", TruncatedInside(game, WebmPart::LastCluster));

  WebmOptions options = Small();
  options.unknownSizeSegment = options.unknownSizeClusters = true;
  seed("unknown-sizes", BuildWebm(options).bytes);
  options = Small();
  options.docType = "matroska";
  options.writingApp.reset();
  seed("matroska-no-app", BuildWebm(options).bytes);
  options = Small();
  options.tracks = {{WebmTrackType::Subtitle, std::string("Chat"), ""},
                    {WebmTrackType::Video, std::string("KYNVideo"), "V_VP9"},
                    {WebmTrackType::Audio, std::nullopt, "A_VORBIS"},
                    {WebmTrackType::Video, std::string("Camera"), ""}};
  seed("four-tracks", BuildWebm(options).bytes);
  options = Small();
  options.tracks.clear();
  options.tracksAfterFirstCluster = true;
  seed("tracks-after-cluster", BuildWebm(options).bytes);
  return written ? 0 : 1;
}
