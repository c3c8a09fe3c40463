#!/usr/bin/python3
# Writes code_pairs.txt: every JIS X 0208 character as its Shift_JIS code and its JIS row and column, taken from
# Python's own shift_jis and euc_jp codecs (EUC-JP is JIS with the high bits set), as an independent table for
# the stroke font's code conversion. Run with /usr/bin/python3 from this folder.
lines = []
for row in range(0x21, 0x7F):
    for col in range(0x21, 0x7F):
        try:
            ch = bytes([row | 0x80, col | 0x80]).decode("euc_jp")
            sjis = ch.encode("shift_jis")
        except UnicodeError:
            continue
        if len(ch) != 1 or len(sjis) != 2:
            continue
        lines.append("%02X%02X %02X %02X" % (sjis[0], sjis[1], row, col))
with open("code_pairs.txt", "w") as f:
    f.write("# Shift_JIS row column (hex), from Python's shift_jis and euc_jp codecs; made by make_code_pairs.py\n")
    f.write("\n".join(lines) + "\n")
print(len(lines), "characters")
