#!/usr/bin/env python3
# Generates the demo entry file: 120 competitors in 3 classes, as a club's spreadsheet
# saves it (Shift-JIS, CRLF), with names only Windows' Shift-JIS can hold.
surnames = ["佐藤","鈴木","髙橋","田中","伊藤","渡辺","山本","中村","小林","加藤",
            "吉田","山田","佐々木","山﨑","松本","井上","木村","林","清水","斎藤"]
kana_s = ["さとう","すずき","たかはし","たなか","いとう","わたなべ","やまもと","なかむら","こばやし","かとう",
          "よしだ","やまだ","ささき","やまさき","まつもと","いのうえ","きむら","はやし","しみず","さいとう"]
men = ["健太","翔","大輝","拓海","蓮","悠斗","陽向","湊","颯太","樹"]
kana_m = ["けんた","しょう","だいき","たくみ","れん","ゆうと","ひなた","みなと","そうた","いつき"]
women = ["花子","葵","結衣","陽菜","美咲","凛","さくら","芽依","紗希","杏"]
kana_w = ["はなこ","あおい","ゆい","ひな","みさき","りん","さくら","めい","さき","あん"]
clubs = ["白馬ＳＣ①","八方尾根ＳＣ","㈱野沢スキー","志賀高原ＲＣ","妙高ＳＣ","蔵王クラブ"]
prefs = ["長野","長野","長野","新潟","山形","北海道"]
classes = [("男子一般", "男", men, kana_m), ("女子一般", "女", women, kana_w), ("ジュニア", None, None, None)]
lines = ["氏名,よみ,所属,クラス,性別,生年,都道府県,登録番号,ポイント"]
n = 0
rows = []
for ci, (cname, sex, given, kana_g) in enumerate(classes):
    for i in range(40):
        n += 1
        s = (i + ci * 3) % 20
        if cname == "ジュニア":
            sx = "男" if i % 2 == 0 else "女"
            g, kg = (men, kana_m) if sx == "男" else (women, kana_w)
            year = 2010 + i % 4
        else:
            sx, g, kg = sex, given, kana_g
            year = 1975 + (i * 3) % 30
        gi = (i * 3 + i // 20 + ci) % 10
        name = surnames[s] + "　" + g[gi]
        kana = kana_s[s] + " " + kg[gi]
        club = (i + ci) % 6
        # Every eighth has no points; two share the 15th best points of their class.
        if i % 8 == 7:
            points, licence = "", ""
        else:
            points = "%.2f" % (15 + ((i * 13 + ci * 5) % 40) * 2.35)
            licence = "J%06d" % (310000 + n)
        rows.append([name, kana, clubs[club], cname, sx, str(year), prefs[club], licence, points])
    # Two share the 15th best points of the class: both are seeded.
    ranked = sorted((float(r[8]), k) for k, r in enumerate(rows) if r[3] == cname and r[8])
    rows[ranked[15][1]][8] = rows[ranked[14][1]][8]
    lines += [",".join(r) for r in rows if r[3] == cname]
open(__file__.replace("make-entries.py", "entries.csv"), "wb").write(("\r\n".join(lines) + "\r\n").encode("cp932"))
