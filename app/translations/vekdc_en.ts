<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>CommandLine</name>
    <message>
        <source>Vek 暗号化ファイルのデコーダ。鍵を設定し、ファイルをデコードします。</source>
        <translation>Decoder of Vek encrypted files: set a key, then decode files.</translation>
    </message>
    <message>
        <source>通常どおり起動した後、指定したファイルを入力ファイルリストに加えます。</source>
        <translation>Start as usual, then put the given files into the input file list.</translation>
    </message>
    <message>
        <source>デコードする暗号化ファイル (--add と共に)。</source>
        <translation>Encrypted files to decode (with --add).</translation>
    </message>
</context>
<context>
    <name>vekdc::CLeftView</name>
    <message>
        <source>現在、デコード実行中です。</source>
        <translation>A decode is running now.</translation>
    </message>
    <message>
        <source>[%1]以下を
すべてデコードしますか？</source>
        <translation>Decode everything in
[%1]?</translation>
    </message>
</context>
<context>
    <name>vekdc::CMainFrame</name>
    <message>
        <source>ﾚﾃﾞｨ</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示</source>
        <translation>Display program information, version number and copyright</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>ｶﾅ</source>
        <translation>KANA</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>NUM</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>SCRL</source>
        <translation>SCRL</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>VekDC のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About VekDC...</translation>
    </message>
</context>
<context>
    <name>vekdc::CVekDCApp</name>
    <message>
        <source>すべてのﾌｧｲﾙ (*.*)|*.*||</source>
        <translation>All files (*.*)|*.*||</translation>
    </message>
    <message>
        <source>ファイル「%1」を開けません。</source>
        <translation>Cannot open the file “%1”.</translation>
    </message>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
</context>
<context>
    <name>vekdc::CVekDCView</name>
    <message>
        <source>入力ファイルリストが空です。デコードするファイルをリストに追加して下さい。</source>
        <translation>The input file list is empty. Add the files to decode to the list.</translation>
    </message>
    <message>
        <source>出力先を設定して下さい。</source>
        <translation>Set the output folder.</translation>
    </message>
    <message>
        <source>デコードを開始します。</source>
        <translation>Decoding starts.</translation>
    </message>
    <message>
        <source>鍵が設定されていないので、操作を続けることが出来ません。VekDC.exeを再起動してください。</source>
        <translation>No key has been set, so the work cannot go on. Restart VekDC.</translation>
    </message>
    <message>
        <source>出力は %1 にされます。</source>
        <translation>The output goes to %1.</translation>
    </message>
    <message>
        <source>→出力先に指定</source>
        <translation>→ Use as output</translation>
    </message>
    <message>
        <source>－項目を削除</source>
        <translation>− Remove items</translation>
    </message>
    <message>
        <source>！デコード実行</source>
        <translation>! Decode</translation>
    </message>
    <message>
        <source>入力ファイルリスト</source>
        <translation>Input file list</translation>
    </message>
    <message>
        <source>→リストに追加</source>
        <translation>→ Add to list</translation>
    </message>
    <message>
        <source>×初期化</source>
        <translation>× Clear list</translation>
    </message>
    <message>
        <source>キーの設定</source>
        <translation>Set key</translation>
    </message>
    <message>
        <source>Vekキーファイル|*.key|すべて|*.*||</source>
        <translation>Vek key files|*.key|All files|*.*||</translation>
    </message>
    <message>
        <source>キー「%1」が設定されました。</source>
        <translation>Key “%1” has been set.</translation>
    </message>
    <message>
        <source>キーは設定されませんでした。</source>
        <translation>No key was set.</translation>
    </message>
    <message>
        <source>見つかりません</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>フォルダです</source>
        <translation>is a folder</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>読み込めません</source>
        <translation>cannot be read</translation>
    </message>
    <message>
        <source>種類が不明な暗号化ファイルです</source>
        <translation>encrypted file of an unknown type</translation>
    </message>
    <message>
        <source>暗号化ファイルではありません</source>
        <translation>not an encrypted file</translation>
    </message>
    <message>
        <source>次のファイルはデコードできません。リストから削除して下さい。</source>
        <translation>These files cannot be decoded. Please remove them from the list.</translation>
    </message>
    <message>
        <source>ほか %1 個</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>現在、デコード実行中です。</source>
        <translation>A decode is running now.</translation>
    </message>
    <message>
        <source>デコードを中止しました。%1 個のファイルをデコードし、%2 個は拒否されました。</source>
        <translation>Decode cancelled: %1 file(s) decoded, %2 refused.</translation>
    </message>
    <message>
        <source>デコードが終わりました。%1 個のファイルをデコードし、%2 個は拒否されました。</source>
        <translation>Decode finished: %1 file(s) decoded, %2 refused.</translation>
    </message>
    <message>
        <source>デコード中: %1 / %2 個</source>
        <translation>Decoding: %1 of %2</translation>
    </message>
    <message>
        <source>中止しています...</source>
        <translation>Cancelling...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ファイルでもフォルダでもないもの %1 個を無視しました。</source>
        <translation>Ignored %1 item(s) that are neither files nor folders.</translation>
    </message>
</context>
<context>
    <name>vekdc::CVersionDlg</name>
    <message>
        <source>VekDCのﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About VekDC</translation>
    </message>
</context>
</TS>
