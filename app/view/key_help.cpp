// What keys draw over the view's frame: the key help (Esc), the scene report (R) and the note that the download
// cache was cleared (F5). Each is painted into the frame shown now; the next redraw covers it.
#include <cstdint>
#include <iterator>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/paths.h"
#include "app/view/key_help.h"
#include "app/view/overlay_texts.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/gdi.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

constexpr const char* kKeyHelp[] = {
    //  A xis    : 座標軸 表示
    " A xis    : \x8d\xc0\x95W\x8e\xb2 \x95\\\x8e\xa6",
    //  B reak   : アクションストップ
    " B reak   : \x83"
    "A\x83N\x83V\x83\x87\x83\x93\x83X\x83g\x83"
    "b\x83v",
    //  C omment : コメント 表示／非表示
    " C omment : \x83R\x83\x81\x83\x93\x83g \x95\\\x8e\xa6\x81^\x94\xf1\x95\\\x8e\xa6",
    //  D anmen  : 断面軸切替(X->Y->Z->off)  (SHIFT+D)断面反転 (CTRL+D)断面色 (ALT+マウス左移動)断面位置
    " D anmen  : \x92"
    "f\x96\xca\x8e\xb2\x90\xd8\x91\xd6(X->Y->Z->off)  (SHIFT+D)\x92"
    "f\x96\xca\x94\xbd\x93] (CTRL+D)\x92"
    "f\x96\xca\x90"
    "F (ALT+\x83}\x83"
    "E\x83X\x8d\xb6\x88\xda\x93\xae)\x92"
    "f\x96\xca\x88\xca\x92u",
    //  E ngine  : 表示エンジン切り替え
    " E ngine  : \x95\\\x8e\xa6\x83G\x83\x93\x83W\x83\x93\x90\xd8\x82\xe8\x91\xd6\x82\xa6",
    //  F ly     : 飛翔　開始／ストップ
    " F ly     : \x94\xf2\xe3\xc4\x81@\x8aJ\x8en\x81^\x83X\x83g\x83"
    "b\x83v",
    //  G        : 新規読み込み　( 視線中心移動しない )
    " G        : \x90V\x8bK\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x81@( "
    "\x8e\x8b\x90\xfc\x92\x86\x90S\x88\xda\x93\xae\x82\xb5\x82\xc8\x82\xa2 )",
    //  H        : 注視点回りだけ表示
    " H        : \x92\x8d\x8e\x8b\x93_\x89\xf1\x82\xe8\x82\xbe\x82\xaf\x95\\\x8e\xa6",
    //  I        : ワイヤーで表示
    " I        : \x83\x8f\x83"
    "C\x83\x84\x81[\x82\xc5\x95\\\x8e\xa6",
    //  J        : 前後のクリップ面再計算
    " J        : \x91O\x8c\xe3\x82\xcc\x83N\x83\x8a\x83"
    "b\x83v\x96\xca\x8d\xc4\x8cv\x8eZ",
    //  K oushin : 最新データに更新
    " K oushin : \x8d\xc5\x90V\x83"
    "f\x81[\x83^\x82\xc9\x8dX\x90V",
    //  L ayerOFF: マウス位置のオブジェクトのレイヤで非表示
    " L ayerOFF: \x83}\x83"
    "E\x83X\x88\xca\x92u\x82\xcc\x83I\x83u\x83W\x83"
    "F\x83N\x83g\x82\xcc\x83\x8c\x83"
    "C\x83\x84\x82\xc5\x94\xf1\x95\\\x8e\xa6",
    //  M esh    : ワールド平面メッシュの表示
    " M esh    : \x83\x8f\x81[\x83\x8b\x83h\x95\xbd\x96\xca\x83\x81\x83"
    "b\x83V\x83\x85\x82\xcc\x95\\\x8e\xa6",
    //  N        : 作業平面メッシュの表示
    " N        : \x8d\xec\x8b\xc6\x95\xbd\x96\xca\x83\x81\x83"
    "b\x83V\x83\x85\x82\xcc\x95\\\x8e\xa6",
    //  O        : イメージ貼り付け 範囲変更  ( イメージファイルをドロップした時 )
    " O        : \x83"
    "C\x83\x81\x81[\x83W\x93\\\x82\xe8\x95t\x82\xaf \x94\xcd\x88\xcd\x95\xcf\x8dX  ( \x83"
    "C\x83\x81\x81[\x83W\x83t\x83@\x83"
    "C\x83\x8b\x82\xf0\x83h\x83\x8d\x83"
    "b\x83v\x82\xb5\x82\xbd\x8e\x9e )",
    //  P rint   : 印刷
    " P rint   : \x88\xf3\x8d\xfc",
    //  Q        : 表示／非表示の反転
    " Q        : \x95\\\x8e\xa6\x81^\x94\xf1\x95\\\x8e\xa6\x82\xcc\x94\xbd\x93]",
    //  R eport  : 情報の表示
    " R eport  : \x8f\xee\x95\xf1\x82\xcc\x95\\\x8e\xa6",
    //  S hadow  : 影を表示  ONの時:影時刻変更(ﾎｲｰﾙ +SHIFT=10分 , L+CTRL=1日 , SH+CT=北方角)
    " S hadow  : \x89"
    "e\x82\xf0\x95\\\x8e\xa6  ON\x82\xcc\x8e\x9e:\x89"
    "e\x8e\x9e\x8d\x8f\x95\xcf\x8dX(\xce\xb2\xb0\xd9 +SHIFT=10\x95\xaa , L+CTRL=1\x93\xfa , SH+CT=\x96k\x95\xfb\x8ap)",
    //  T runkOFF: マウス位置のトランクだけ非表示 (+SHIFT)=トランク以下非表示
    " T runkOFF: \x83}\x83"
    "E\x83X\x88\xca\x92u\x82\xcc\x83g\x83\x89\x83\x93\x83N\x82\xbe\x82\xaf\x94\xf1\x95\\\x8e\xa6 "
    "(+SHIFT)=\x83g\x83\x89\x83\x93\x83N\x88\xc8\x89\xba\x94\xf1\x95\\\x8e\xa6",
    //  U        : 半透明で表示
    " U        : \x94\xbc\x93\xa7\x96\xbe\x82\xc5\x95\\\x8e\xa6",
    //  V iewMode: ビューモード(廻り込み、くび振り。。)の切り替え
    " V iewMode: \x83r\x83\x85\x81[\x83\x82\x81[\x83h(\x89\xf4\x82\xe8\x8d\x9e\x82\xdd\x81"
    "A\x82\xad\x82\xd1\x90U\x82\xe8\x81"
    "B\x81"
    "B)\x82\xcc\x90\xd8\x82\xe8\x91\xd6\x82\xa6",
    //  W eyes   : 立体視
    " W eyes   : \x97\xa7\x91\xcc\x8e\x8b",
    //  X        : 背景色変更
    " X        : \x94w\x8ci\x90"
    "F\x95\xcf\x8dX",
    //  Y        : そこに立って見る さらに[Y]で解除。
    " Y        : \x82\xbb\x82\xb1\x82\xc9\x97\xa7\x82\xc1\x82\xc4\x8c\xa9\x82\xe9 "
    "\x82\xb3\x82\xe7\x82\xc9[Y]\x82\xc5\x89\xf0\x8f\x9c\x81"
    "B",
    //  Z        : アクションの設定されているリーブスを表示。
    " Z        : \x83"
    "A\x83N\x83V\x83\x87\x83\x93\x82\xcc\x90\xdd\x92\xe8\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xe9\x83\x8a\x81["
    "\x83u\x83X\x82\xf0\x95\\\x8e\xa6\x81"
    "B",
    // F5        : データキャッシュをクリア（次回読み込みから有効）
    "F5        : \x83"
    "f\x81[\x83^\x83L\x83\x83\x83"
    "b\x83V\x83\x85\x82\xf0\x83N\x83\x8a\x83"
    "A\x81i\x8e\x9f\x89\xf1\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x82\xa9\x82\xe7\x97L\x8c\xf8\x81j",
    // マウス左ドラッグ　　　回りを廻る。　（　+CTRL=上下左右くび振り　　+SHIFT=前進後退・左右カニ歩き）
    "\x83}\x83"
    "E\x83X\x8d\xb6\x83h\x83\x89\x83"
    "b\x83O\x81@\x81@\x81@\x89\xf1\x82\xe8\x82\xf0\x89\xf4\x82\xe9\x81"
    "B\x81@\x81i\x81@+CTRL=\x8f\xe3\x89\xba\x8d\xb6\x89"
    "E\x82\xad\x82\xd1\x90U\x82\xe8\x81@\x81@+SHIFT=\x91O\x90i\x8c\xe3\x91\xde\x81"
    "E\x8d\xb6\x89"
    "E\x83J\x83j\x95\xe0\x82\xab\x81j",
    //  CTRL+SHIFT +マウス左　全データ表示。
    " CTRL+SHIFT +\x83}\x83"
    "E\x83X\x8d\xb6\x81@\x91S\x83"
    "f\x81[\x83^\x95\\\x8e\xa6\x81"
    "B",
    //  SHIFT+マウス移動　　　属性表示。マウスの下のトランクの属性を表示。
    " SHIFT+\x83}\x83"
    "E\x83X\x88\xda\x93\xae\x81@\x81@\x81@\x91\xae\x90\xab\x95\\\x8e\xa6\x81"
    "B\x83}\x83"
    "E\x83X\x82\xcc\x89\xba\x82\xcc\x83g\x83\x89\x83\x93\x83N\x82\xcc\x91\xae\x90\xab\x82\xf0\x95\\\x8e\xa6\x81"
    "B",
    // ホイールクリック      注視点変更。
    "\x83z\x83"
    "C\x81[\x83\x8b\x83N\x83\x8a\x83"
    "b\x83N      \x92\x8d\x8e\x8b\x93_\x95\xcf\x8dX\x81"
    "B",
    // ホイール回転          直進後退。　（　+CTRL=レンズ望遠広角 　 +SHIFT、+CTRL=影時刻変更）
    "\x83z\x83"
    "C\x81[\x83\x8b\x89\xf1\x93]          \x92\xbc\x90i\x8c\xe3\x91\xde\x81"
    "B\x81@\x81i\x81@+CTRL=\x83\x8c\x83\x93\x83Y\x96]\x89\x93\x8dL\x8ap \x81@ +SHIFT\x81"
    "A+CTRL=\x89"
    "e\x8e\x9e\x8d\x8f\x95\xcf\x8dX\x81j",
    // ｲﾒｰｼﾞﾌｧｲﾙ ﾄﾞﾛｯﾌﾟ　　　イメージ変更。同じｲﾒｰｼﾞ連動変更範囲（　+なし：トランク　　+SHIFT：面だけ
    //   　　+CTRL：リーブスだけ　　+ALT：全体全部）
    "\xb2\xd2\xb0\xbc\xde\xcc\xa7\xb2\xd9 \xc4\xde\xdb\xaf\xcc\xdf\x81@\x81@\x81@\x83"
    "C\x83\x81\x81[\x83W\x95\xcf\x8dX\x81"
    "B\x93\xaf\x82\xb6\xb2\xd2\xb0\xbc\xde\x98"
    "A\x93\xae\x95\xcf\x8dX\x94\xcd\x88\xcd\x81i\x81@+\x82\xc8\x82\xb5\x81"
    "F\x83g\x83\x89\x83\x93\x83N\x81@\x81@+SHIFT\x81"
    "F\x96\xca\x82\xbe\x82\xaf\x81@\x81@+CTRL\x81"
    "F\x83\x8a\x81[\x83u\x83X\x82\xbe\x82\xaf\x81@\x81@+ALT\x81"
    "F\x91S\x91\xcc\x91S\x95\x94\x81j",
    // Date Version:20140217
    "Date Version:20140217",
};
constexpr const char* kReportLines[] = {
    // 　　　　       表 (　　実表)　　　 裏　　　 全
    "\x81@\x81@\x81@\x81@       \x95\\ (\x81@\x81@\x8e\xc0\x95\\)\x81@\x81@\x81@ \x97\xa0\x81@\x81@\x81@ \x91S     ",
    // 三角面数 %8d (%8d) %8d %8d
    "\x8eO\x8ap\x96\xca\x90\x94 %8d (%8d) %8d %8d     ",
    // Leaf     %8d (%8d) %8d %8d
    "Leaf     %8d (%8d) %8d %8d     ",
    // Leaves   %8d (%8d) %8d %8d
    "Leaves   %8d (%8d) %8d %8d     ",
    // Trunk    %8d (%8d) %8d %8d
    "Trunk    %8d (%8d) %8d %8d     ",
    // 描画時間            %12.3f[sec]
    "\x95`\x89\xe6\x8e\x9e\x8a\xd4            %12.3f[sec]  ",
    // LDOWN時間           %12.3f[sec]
    "LDOWN\x8e\x9e\x8a\xd4           %12.3f[sec]  ",
    // 実描画時間          %12.3f[sec]
    "\x8e\xc0\x95`\x89\xe6\x8e\x9e\x8a\xd4          %12.3f[sec]  ",
    // 総合描画時間(Hit込) %12.3f[sec]
    "\x91\x8d\x8d\x87\x95`\x89\xe6\x8e\x9e\x8a\xd4(Hit\x8d\x9e) %12.3f[sec]  ",
    // 目の高さ %12.3f[m]
    "\x96\xda\x82\xcc\x8d\x82\x82\xb3 %12.3f[m]  ",
};

// "キャッシュをクリアしました：%s    "
constexpr char kCacheCleared[] =
    "\x83L\x83\x83\x83"
    "b\x83V\x83\x85\x82\xf0\x83N\x83\x8a\x83"
    "A\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81"
    "F%s    ";
constexpr char kWorkFolderName[] = "kz3d_temp";

// Lines 1, 2, ... at x 10 and y 19 times the line number, 16 pixels high, on a near-black band; in pixels as they
// look, so a scaled display gets its ratio more device pixels.
void draw_lines(plat::DeviceContext* dc, const char* const* lines, int count, plat::ColorRef color) {
    if (!dc) return;
    const double r = dc->pixel_ratio();
    plat::set_rop2(*dc, plat::kR2CopyPen);
    for (int n = 1; n <= count; ++n)
        kz::foundation::text_out_gdi(dc, lines[n - 1], int(10 * r + 0.5), int(19 * n * r + 0.5), int(16 * r + 0.5),
                                     color, kGothicFace, 0x010000, 0, 0.0);
    dc->notify_present();
}

}  // namespace

const char* const* key_help_lines(int* count) {
    if (count) *count = static_cast<int>(std::size(kKeyHelp));
    return kKeyHelp;
}

void XView::DrawKeyHelp() {
    draw_lines(output.view_dc[0].get(), kKeyHelp, static_cast<int>(std::size(kKeyHelp)), 0x00FF00);
}

void XView::DrawSceneReport() {
    CountScene();
    const auto& s = display.scene_stats;  // [trunks, parts, faces, triangles][hidden, visible, shown]
    std::string rows[std::size(kReportLines)];
    rows[0] = kReportLines[0];
    char text[256];
    for (int row = 1; row <= 4; ++row) {
        const int* c = s[4 - row];
        kz::crt::c_snprintf(text, sizeof text, kReportLines[row], c[1], c[2], c[0], c[1] + c[0]);
        rows[row] = text;
    }
    const double seconds[5] = {output.bridge ? output.bridge->last_draw_time : 0.0, input.press_handling_seconds,
                               output.draw_time, input.press_to_move_seconds,
                               camera.eye ? camera.eye->eye[2] / 1000.0 : 0.0};
    for (int k = 0; k < 5; ++k) {
        kz::crt::c_snprintf(text, sizeof text, kReportLines[5 + k], seconds[k]);
        rows[5 + k] = text;
    }
    const char* lines[std::size(kReportLines)];
    for (std::size_t k = 0; k < std::size(kReportLines); ++k) lines[k] = rows[k].c_str();
    draw_lines(output.view_dc[0].get(), lines, static_cast<int>(std::size(lines)), 0x004DFF);
}

void XView::ClearDownloadCache() {
    // Only the program's own work folder goes, and only where it is expected: directly in the user's private
    // folder (none when that cannot be trusted). The download cache lives in it, so it comes back empty.
    const std::string temp = plat::temp_path();
    if (temp.empty() || document.work_folder != temp + kWorkFolderName) return;
    kz::foundation::delete_folder_tree((document.work_folder + "\\").c_str());
    plat::create_private_directory(document.work_folder);
    plat::DeviceContext* dc = output.view_dc[0].get();
    if (!dc) return;
    char text[1200];
    kz::crt::c_snprintf(text, sizeof text, kCacheCleared, document.work_folder.c_str());
    const double r = dc->pixel_ratio();
    kz::foundation::text_out_gdi(dc, text, int(10 * r + 0.5), int(10 * r + 0.5), int(16 * r + 0.5), 0xFFFF19,
                                 kPGothicFace, 0x010101, 0, 0.0);
    dc->notify_present();
}

}  // namespace kz::view
