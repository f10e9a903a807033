// movitrel-frames DIR [--base PREFIX] [--sort N]: prints the ordered frame list of DIR.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "apps/ScanOnlyClient.h"
#include "playback/FramePlayer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: movitrel-frames DIR [--base PREFIX] [--sort 0|1|2]\n");
        return 2;
    }
    CString base;
    int32_t sort = 1;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--base") == 0)
            base = argv[i + 1];
        else if (std::strcmp(argv[i], "--sort") == 0)
            sort = std::atoi(argv[i + 1]);
    }
    CSourceSettings source;
    source.SetSource(argv[1], base, sort);
    CScanOnlyClient client;
    CPlaybackSettings playback;
    CFramePlayer player(client, source, playback);
    player.ScanDirectory();
    std::printf("%d frames (index %d)\n", player.Count(), player.Current());
    int32_t i = 0;
    for (POSITION pos = player.Frames().GetHeadPosition(); pos; pos = CFrameList::Next(pos)) {
        const CFrameEntry& e = CFrameList::GetAt(pos);
        std::printf("%4d  key %-10d %s\n", i++, e.nKey, e.strPath.c_str());
    }
    return 0;
}
