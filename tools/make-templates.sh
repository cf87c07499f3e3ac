#!/usr/bin/env bash
# Regenerates the two SYLK script templates (resources/templates/DATA1 and DATA2) as code
# page 949 bytes with CR LF line ends, and the resource file that builds them in.
# The texts below are UTF-8; iconv fails loudly if a character has no CP949 mapping.
set -euo pipefail
cd "$(dirname "$0")/.."
out=resources/templates
mkdir -p "$out"

to_cp949() {
  # Every line, the last included, ends in CR LF.
  sed 's/$/\r/' | iconv -f UTF-8 -t CP949
}

# The header: the number-format table, the font table and the default format.
to_cp949 >"$out/DATA1.tmp" <<'EOF'
ID;PWXL;N;E
P;PGeneral
P;P0
P;P0.00
P;P#,##0
P;P#,##0.00
P;P#,##0;;\-#,##0
P;P#,##0;;[Red]\-#,##0
P;P#,##0.00;;\-#,##0.00
P;P#,##0.00;;[Red]\-#,##0.00
P;P"\"#,##0;;\-"\"#,##0
P;P"\"#,##0;;[Red]\-"\"#,##0
P;P"\"#,##0.00;;\-"\"#,##0.00
P;P"\"#,##0.00;;[Red]\-"\"#,##0.00
P;P0%
P;P0.00%
P;P0.00E+00
P;P##0.0E+0
P;P#\ ?/?
P;P#\ ??/??
P;Pyyyy/mm/dd
P;Pdd/mmm/yy
P;Pdd/mmm
P;Pmmm/yy
P;Ph:mm\ AM/PM
P;Ph:mm:ss\ AM/PM
P;Ph:mm
P;Ph:mm:ss
P;Pyyyy/mm/dd\ h:mm
P;Pmm:ss
P;Pmm:ss.0
P;P@
P;P[h]:mm:ss
P;P_-"\"* #,##0_-;;\-"\"* #,##0_-;;_-"\"* "-"_-;;_-@_-
P;P_-* #,##0_-;;\-* #,##0_-;;_-* "-"_-;;_-@_-
P;P_-"\"* #,##0.00_-;;\-"\"* #,##0.00_-;;_-"\"* "-"??_-;;_-@_-
P;P_-* #,##0.00_-;;\-* #,##0.00_-;;_-* "-"??_-;;_-@_-
P;P\$#,##0_);;\(\$#,##0\)
P;P\$#,##0_);;[Red]\(\$#,##0\)
P;P\$#,##0.00_);;\(\$#,##0.00\)
P;P\$#,##0.00_);;[Red]\(\$#,##0.00\)
P;Pmm/dd/yy
P;Pyyyy"년"\ mm"월"\ dd"일"
P;Ph"시"\ mm"분"
P;Ph"시"\ mm"분"\ ss"초"
P;Pyyyy"年"\ mm"月"\ dd"日"
P;Pmm/dd
P;Pyyyy\/mm\/dd
P;Pyyyy/mm/dd
P;Pmm"월"\ dd"일"
P;P[Red][=0]General
P;P[Red][<>0]General
P;P"Yes";;"Yes";;"No"
P;P"True";;"True";;"False"
P;P"On";;"On";;"Off"
P;P[$€-2]\ #,##0.00_);;[Red]\([$€-2]\ #,##0.00\)
P;F돋움;M220
P;F돋움;M220
P;F돋움;M220
P;F돋움;M220
P;E돋움;M220
P;E돋움;M160
P;E돋움;M200
F;P0;DG0G8;M270
EOF

# The options, column widths and formats, then the column titles and types.
to_cp949 >"$out/DATA2.tmp" <<'EOF'
O;L;S;F;D;V0;K47;T0;G100 0.001
F;W1 4 6
F;W5 5 11
F;P0;FG0C;SM7;C1
F;P0;FG0C;SM7;C2
F;P0;FG0C;SM7;C3
F;P0;FG0C;SM7;C4
F;P0;FG0C;SM7;C5
F;P0;FG0C;SM7;C6
C;Y1;X1;K"마디"
C;X2;K"박(1/4)"
F;P48;FG0C;X3
C;K"1/16"
C;X4;K"위치"
C;X5;K"동작"
C;X6;K"Key"
C;Y2;X1;K"int"
C;X2;K"int"
C;X3;K"int"
C;X4;K"int"
C;X5;K"enum(n,s,f)"
C;X6;K"string"
EOF

mv "$out/DATA1.tmp" "$out/DATA1"
mv "$out/DATA2.tmp" "$out/DATA2"

cat >"$out/templates.qrc" <<'EOF'
<!DOCTYPE RCC>
<RCC version="1.0">
  <qresource prefix="/DATA">
    <file alias="DATA1">DATA1</file>
    <file alias="DATA2">DATA2</file>
  </qresource>
</RCC>
EOF

echo "DATA1: $(wc -c <"$out/DATA1") bytes, $(grep -c $'\r$' "$out/DATA1") lines"
echo "DATA2: $(wc -c <"$out/DATA2") bytes, $(grep -c $'\r$' "$out/DATA2") lines"
