<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CaptureChoice</name>
    <message>
        <source>this Wayland session offers no data-control protocol and no X display: texts copied in other windows are recorded only while Vornkip has the focus</source>
        <translation>this Wayland session offers no data-control protocol and no X display: text copied in other windows is recorded only while Vornkip has the focus</translation>
    </message>
</context>
<context>
    <name>CommandError</name>
    <message>
        <source>プロシージャの呼び出し、または引数が不正です。</source>
        <translation>Invalid procedure call or argument.</translation>
    </message>
    <message>
        <source>オーバーフローしました。</source>
        <translation>The number is too large (overflow).</translation>
    </message>
    <message>
        <source>メモリが不足しています。</source>
        <translation>Out of memory.</translation>
    </message>
    <message>
        <source>0 で除算しました。</source>
        <translation>Division by zero.</translation>
    </message>
    <message>
        <source>型が一致しません。</source>
        <translation>Type mismatch.</translation>
    </message>
    <message>
        <source>ファイルが見つかりません。</source>
        <translation>The file was not found.</translation>
    </message>
    <message>
        <source>ディスクの空き容量が不足しています。</source>
        <translation>There is not enough free disk space.</translation>
    </message>
    <message>
        <source>書き込みできません。</source>
        <translation>Permission denied.</translation>
    </message>
    <message>
        <source>パス名が無効です。</source>
        <translation>The path is not valid.</translation>
    </message>
    <message>
        <source>パスが見つかりません。</source>
        <translation>The path was not found.</translation>
    </message>
    <message>
        <source>最小化または最大化されたウィンドウのサイズは変更できません。</source>
        <translation>A minimized or maximized window cannot be resized.</translation>
    </message>
    <message>
        <source>指定された形式が見つかりません。</source>
        <translation>The requested format was not found.</translation>
    </message>
    <message>
        <source>ピクチャが不正です。</source>
        <translation>The picture is not valid.</translation>
    </message>
    <message>
        <source>キャンセルが選択されました。</source>
        <translation>Cancel was chosen.</translation>
    </message>
    <message>
        <source>アプリケーション定義またはオブジェクト定義のエラーです。</source>
        <translation>Application-defined or object-defined error.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>不明なオプションです: %1</source>
        <translation>Unknown option: %1</translation>
    </message>
    <message>
        <source>%1 は値を取りません</source>
        <translation>%1 takes no value</translation>
    </message>
    <message>
        <source>%1 には値が必要です</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>クリップボードの履歴を記録するバーを起動します。
オプションなしで起動すると、コピーした文字列を履歴に記録します。
--list、--print、--search の終了コードは grep と同じです: 0 は表示した、1 は該当なし、2 は使い方の誤りか履歴ファイルを読めないとき。</source>
        <translation>Starts the bar that keeps a history of the clipboard.
Started without options, it records the text you copy in the history.
--list, --print and --search use the same exit statuses as grep: 0 when something was shown, 1 when nothing matched, 2 for a usage error or a history file that cannot be read.</translation>
    </message>
    <message>
        <source>このヘルプを表示して終了します。</source>
        <translation>Show this help and exit.</translation>
    </message>
    <message>
        <source>バージョンを表示して終了します。</source>
        <translation>Show the version and exit.</translation>
    </message>
    <message>
        <source>設定ファイル form.ini、履歴ファイル temp.ifo、定型文ファイル templ.txt を削除してから起動します (/a と同じ)。</source>
        <translation>Delete the settings file form.ini, the history file temp.ifo and the template file templ.txt, then start (same as /a).</translation>
    </message>
    <message>
        <source>ログイン時の自動起動を on (設定) または off (解除) にして終了します。</source>
        <translation>Turn starting at login on or off, then exit.</translation>
    </message>
    <message>
        <source>履歴のポップアップを開きます。起動中のバーがあればそこで開き、なければバーを起動してから開きます。</source>
        <translation>Open the history popup: in the running bar if there is one, otherwise start the bar and then open it.</translation>
    </message>
    <message>
        <source>履歴のポップアップを開くキー (form.ini の [Popup] Shortcut) をデスクトップの設定に install (追加) または remove (削除) して終了します。GNOME ではキーボードショートカットに登録し、sway と Hyprland では設定ファイルに書く行を表示します。</source>
        <translation>Install or remove the key that opens the history popup ([Popup] Shortcut in form.ini) in the desktop&apos;s settings, then exit. On GNOME it becomes a keyboard shortcut; for sway and Hyprland the line to write in their configuration file is shown.</translation>
    </message>
    <message>
        <source>新しい履歴から N 件 (省略時は %1 件) を、1 件 1 行 (番号、タブ、1 行目) で表示して終了します。N は --list の次に書きます (--list 50 または --list=50)。</source>
        <translation>Show the newest N entries (%1 if N is left out), one line each (number, tab, first line), then exit. N follows --list (--list 50 or --list=50).</translation>
    </message>
    <message>
        <source>番号 number の履歴の全文を、改行を LF として末尾に改行を足さずに表示して終了します。番号が重なるときは新しいほうです。</source>
        <translation>Show the whole text of the entry numbered number, with LF line breaks and no line break added at the end, then exit. If two entries have that number, the newer one is shown.</translation>
    </message>
    <message>
        <source>text を含む履歴をすべて、新しい順に --list と同じ形で表示して終了します。大文字と小文字、全角と半角は区別せず、ひらがなとカタカナは区別します。</source>
        <translation>Show every entry that contains text, newest first, in the same form as --list, then exit. Upper and lower case, and full-width and half-width forms, match each other; hiragana and katakana do not.</translation>
    </message>
    <message>
        <source>--search で大文字と小文字を区別します。</source>
        <translation>With --search, tell upper and lower case apart.</translation>
    </message>
    <message>
        <source>--search で全角と半角を区別します。</source>
        <translation>With --search, tell full-width and half-width forms apart.</translation>
    </message>
    <message>
        <source>--search でひらがなとカタカナを区別しません。</source>
        <translation>With --search, let hiragana and katakana match each other.</translation>
    </message>
    <message>
        <source>%1 と %2 は一緒に使えません</source>
        <translation>%1 and %2 cannot be used together</translation>
    </message>
    <message>
        <source>--%1 は --search と一緒に使います</source>
        <translation>--%1 works only with --search</translation>
    </message>
    <message>
        <source>--autostart には on か off を指定してください: %1</source>
        <translation>--autostart takes on or off: %1</translation>
    </message>
    <message>
        <source>--shortcut には install か remove を指定してください: %1</source>
        <translation>--shortcut takes install or remove: %1</translation>
    </message>
    <message>
        <source>--%1 は一度だけ指定できます</source>
        <translation>--%1 can be given only once</translation>
    </message>
    <message>
        <source>--list の件数は 1 以上の整数で指定してください: %1</source>
        <translation>The count for --list must be a whole number of 1 or more: %1</translation>
    </message>
    <message>
        <source>余分な引数です: %1</source>
        <translation>Unexpected argument: %1</translation>
    </message>
    <message>
        <source>--print の番号は 1 から %1 までの整数で指定してください: %2</source>
        <translation>The number for --print must be a whole number from 1 to %1: %2</translation>
    </message>
    <message>
        <source>履歴をほかのマシンと共有するフォルダー (Syncthing などで同期しているフォルダー) を form.ini の [Sync] Folder に設定して終了します。off で共有をやめます。起動中のバーはすぐに従います。</source>
        <translation>Set the folder the history is shared through with your other machines (a folder that Syncthing or the like keeps in sync) as [Sync] Folder in form.ini, and exit. off stops sharing. A running bar follows at once.</translation>
    </message>
    <message>
        <source>--sync-folder にはあるフォルダーか off を指定してください: %1</source>
        <translation>--sync-folder takes an existing folder or off: %1</translation>
    </message>
</context>
<context>
    <name>Desktop</name>
    <message>
        <source>%1 が見つかりません</source>
        <translation>%1 was not found</translation>
    </message>
    <message>
        <source>%1 が終わりません</source>
        <translation>%1 did not finish in time</translation>
    </message>
    <message>
        <source>%1 が失敗しました (%2)</source>
        <translation>%1 failed (%2)</translation>
    </message>
</context>
<context>
    <name>DesktopIntegration</name>
    <message>
        <source>履歴を開く</source>
        <translation>&amp;Open history</translation>
    </message>
    <message>
        <source>クリップボードの監視</source>
        <translation>&amp;Watch the clipboard</translation>
    </message>
    <message>
        <source>クリップボードを監視しない</source>
        <translation>&amp;Don&apos;t watch the clipboard</translation>
    </message>
    <message>
        <source>最前面表示</source>
        <translation>Always on &amp;top</translation>
    </message>
    <message>
        <source>タイトル表示</source>
        <translation>T&amp;itle</translation>
    </message>
    <message>
        <source>タイトルを表示</source>
        <translation>Show &amp;title</translation>
    </message>
    <message>
        <source>日付・時間を表示</source>
        <translation>Show &amp;date and time</translation>
    </message>
    <message>
        <source>日付と時間</source>
        <translation>Date &amp;and time</translation>
    </message>
    <message>
        <source>日付のみ</source>
        <translation>&amp;Date only</translation>
    </message>
    <message>
        <source>時間のみ</source>
        <translation>T&amp;ime only</translation>
    </message>
    <message>
        <source>起動してからの時間</source>
        <translation>System &amp;uptime</translation>
    </message>
    <message>
        <source>メモリ状況を表示</source>
        <translation>Show &amp;memory use</translation>
    </message>
    <message>
        <source>クリップボードを空にする</source>
        <translation>&amp;Clear the clipboard</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>KByte</source>
        <translation>&amp;KB</translation>
    </message>
    <message>
        <source>MByte</source>
        <translation>&amp;MB</translation>
    </message>
    <message>
        <source>履歴の共有: オフ</source>
        <translation>Sharing the history: off</translation>
    </message>
    <message>
        <source>履歴の共有: オン</source>
        <translation>Sharing the history: on</translation>
    </message>
    <message>
        <source>履歴の共有: オン (最終受信 %1)</source>
        <translation>Sharing the history: on (last received %1)</translation>
    </message>
</context>
<context>
    <name>HistoryCommand</name>
    <message>
        <source>履歴ファイルを読めません: %1: %2</source>
        <translation>Cannot read the history file: %1: %2</translation>
    </message>
    <message>
        <source>出力に書き込めません</source>
        <translation>Cannot write to the output</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>ログイン時に起動します: %1</source>
        <translation>Vornkip will start at login: %1</translation>
    </message>
    <message>
        <source>ログイン時の起動をやめました: %1 を削除しました</source>
        <translation>Vornkip will no longer start at login: %1 was deleted</translation>
    </message>
    <message>
        <source>ログイン時の起動は設定されていません: %1 はありません</source>
        <translation>Starting at login is not set up: %1 does not exist</translation>
    </message>
    <message>
        <source>ログイン時の起動を設定できません: %1: %2</source>
        <translation>Cannot set up starting at login: %1: %2</translation>
    </message>
    <message>
        <source>form.ini の [Popup] Shortcut が空なので、登録するキーがありません</source>
        <translation>[Popup] Shortcut in form.ini is empty, so there is no key to add</translation>
    </message>
    <message>
        <source>このキーは %1 で使えません: %2</source>
        <translation>These keys cannot be used on %1: %2</translation>
    </message>
    <message>
        <source>GNOME のキーボードショートカットを登録できません: %1</source>
        <translation>Cannot add the GNOME keyboard shortcut: %1</translation>
    </message>
    <message>
        <source>GNOME のキーボードショートカットに登録しました: %1 で %2 を実行します</source>
        <translation>Added to the GNOME keyboard shortcuts: %1 runs %2</translation>
    </message>
    <message>
        <source>GNOME のキーボードショートカットを削除できません: %1</source>
        <translation>Cannot remove the GNOME keyboard shortcut: %1</translation>
    </message>
    <message>
        <source>GNOME のキーボードショートカットから削除しました</source>
        <translation>Removed from the GNOME keyboard shortcuts</translation>
    </message>
    <message>
        <source>GNOME のキーボードショートカットには登録されていません</source>
        <translation>Not in the GNOME keyboard shortcuts</translation>
    </message>
    <message>
        <source>sway の設定ファイル (~/.config/sway/config) に次の行を加えて、swaymsg reload で読み直してください:</source>
        <translation>Add this line to sway&apos;s configuration file (~/.config/sway/config), then reload it with swaymsg reload:</translation>
    </message>
    <message>
        <source>sway の設定ファイル (~/.config/sway/config) から次の行を削除して、swaymsg reload で読み直してください:</source>
        <translation>Remove this line from sway&apos;s configuration file (~/.config/sway/config), then reload it with swaymsg reload:</translation>
    </message>
    <message>
        <source>Hyprland の設定ファイル (~/.config/hypr/hyprland.conf) に次の行を加えてください:</source>
        <translation>Add this line to Hyprland&apos;s configuration file (~/.config/hypr/hyprland.conf):</translation>
    </message>
    <message>
        <source>Hyprland の設定ファイル (~/.config/hypr/hyprland.conf) から次の行を削除してください:</source>
        <translation>Remove this line from Hyprland&apos;s configuration file (~/.config/hypr/hyprland.conf):</translation>
    </message>
    <message>
        <source>ショートカット</source>
        <translation>the shortcut</translation>
    </message>
    <message>
        <source>このデスクトップには登録できません。X11 と KDE Plasma では、起動中の Vornkip が %1 を自分で使います。ほかのデスクトップでは、キーボードの設定で次のコマンドを実行するショートカットを追加してください:</source>
        <translation>The shortcut cannot be added on this desktop. On X11 and KDE Plasma the running Vornkip takes %1 itself. On other desktops, add a shortcut in the keyboard settings that runs this command:</translation>
    </message>
    <message>
        <source>このデスクトップには登録できません。X11 と KDE Plasma では、起動中の Vornkip が %1 を自分で使います。ほかのデスクトップでは、キーボードの設定で次のコマンドを実行するショートカットを削除してください:</source>
        <translation>The shortcut cannot be removed on this desktop. On X11 and KDE Plasma the running Vornkip takes %1 itself. On other desktops, remove the shortcut in the keyboard settings that runs this command:</translation>
    </message>
    <message>
        <source>出力に書き込めません</source>
        <translation>Cannot write to the output</translation>
    </message>
    <message>
        <source>起動中の Vornkip に届きません</source>
        <translation>The running Vornkip does not answer</translation>
    </message>
    <message>
        <source>履歴の共有を設定できません: %1</source>
        <translation>Cannot set up sharing the history: %1</translation>
    </message>
    <message>
        <source>履歴の共有をやめました</source>
        <translation>The history is no longer shared</translation>
    </message>
    <message>
        <source>履歴を %1 で共有します</source>
        <translation>The history is shared through %1</translation>
    </message>
    <message>
        <source>起動中の Vornkip に伝えました</source>
        <translation>The running Vornkip was told</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>PortalShortcut</name>
    <message>
        <source>履歴を開く</source>
        <translation>Open the history</translation>
    </message>
</context>
<context>
    <name>StatusPanels</name>
    <message>
        <source>CAPS</source>
        <translation>CAPS</translation>
    </message>
    <message>
        <source>ggge年m月d日 aaaa</source>
        <translation>ggg e yyyy-mm-dd</translation>
    </message>
    <message>
        <source>yyyy/mm/dd hh:mm:ss</source>
        <translation>yyyy-mm-dd hh:mm:ss</translation>
    </message>
</context>
<context>
    <name>SyncFolder</name>
    <message>
        <source>共有フォルダーが見つかりません: %1</source>
        <translation>The shared folder cannot be found: %1</translation>
    </message>
    <message>
        <source>大きすぎて共有できないテキストです</source>
        <translation>The text is too large to share</translation>
    </message>
    <message>
        <source>共有フォルダーに書き込めません: %1</source>
        <translation>Cannot write to the shared folder: %1</translation>
    </message>
    <message>
        <source>共有フォルダーの知らないファイルを飛ばしました: %1</source>
        <translation>Skipped an unknown file in the shared folder: %1</translation>
    </message>
    <message>
        <source>共有フォルダーのファイルを読めません: %1</source>
        <translation>Cannot read a file in the shared folder: %1</translation>
    </message>
    <message>
        <source>共有フォルダーの別の機器の記録を飛ばしました: %1</source>
        <translation>Skipped records of another device in the shared folder: %1</translation>
    </message>
    <message>
        <source>共有フォルダーの壊れた記録を飛ばしました: %1</source>
        <translation>Skipped damaged records in the shared folder: %1</translation>
    </message>
    <message>
        <source>共有フォルダーの知らないフォルダーを飛ばしました: %1</source>
        <translation>Skipped an unknown folder in the shared folder: %1</translation>
    </message>
    <message>
        <source>共有フォルダーの読み取り位置を保存できません: %1</source>
        <translation>Cannot save how far the shared folder has been read: %1</translation>
    </message>
</context>
<context>
    <name>SyncService</name>
    <message numerus="yes">
        <source>ほか %n 件</source>
        <translation>
            <numerusform>and %n more</numerusform>
            <numerusform>and %n more</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TextConv</name>
    <message numerus="yes">
        <source>テキストボックス内の、表示文字数(空白込み)は、%1文字でした。</source>
        <translation>
            <numerusform>The text box shows %1 character (blanks included).</numerusform>
            <numerusform>The text box shows %1 characters (blanks included).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>指定範囲内の文字数（空白込み）は、%1文字でした。</source>
        <translation>
            <numerusform>The selection holds %1 character (blanks included).</numerusform>
            <numerusform>The selection holds %1 characters (blanks included).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>カーソルから何文字目までを指定しますか？<byte value="xd"/>
カーソル後の文字数は、%1文字です。<byte value="xd"/>
<byte value="xd"/>
改行と空白は１文字と数えます。</source>
        <translation>
            <numerusform>How many characters from the cursor do you want to select?<byte value="xd"/>
There is %1 character after the cursor.<byte value="xd"/>
<byte value="xd"/>
A line break or a blank counts as one character.</numerusform>
            <numerusform>How many characters from the cursor do you want to select?<byte value="xd"/>
There are %1 characters after the cursor.<byte value="xd"/>
<byte value="xd"/>
A line break or a blank counts as one character.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Titles</name>
    <message>
        <source>明治</source>
        <translation>Meiji</translation>
    </message>
    <message>
        <source>大正</source>
        <translation>Taisho</translation>
    </message>
    <message>
        <source>昭和</source>
        <translation>Showa</translation>
    </message>
    <message>
        <source>平成</source>
        <translation>Heisei</translation>
    </message>
    <message>
        <source>令和</source>
        <translation>Reiwa</translation>
    </message>
    <message>
        <source>午前</source>
        <translation>AM</translation>
    </message>
    <message>
        <source>午後</source>
        <translation>PM</translation>
    </message>
    <message>
        <source>起動経過時間&#x3000;%1:%2:%3</source>
        <translation>Uptime %1:%2:%3</translation>
    </message>
    <message>
        <source>物理メモリ：%1/%2%3</source>
        <translation>Memory in use: %1/%2 %3</translation>
    </message>
    <message>
        <source>gge年m月d日(aaa) hh:mm</source>
        <translation>ggg e yyyy-mm-dd hh:mm</translation>
    </message>
    <message>
        <source>gge年mm月dd日(aaa)</source>
        <translation>ggg e yyyy-mm-dd</translation>
    </message>
    <message>
        <source>ampm hh:mm:ss</source>
        <translation>hh:mm:ss ampm</translation>
    </message>
    <message>
        <source>VornkipVer.%1.%2%3</source>
        <translation>Vornkip %1.%2%3</translation>
    </message>
</context>
<context>
    <name>ToolbarCommands</name>
    <message>
        <source>クリップボードの情報を削除してもよろしいですか？</source>
        <translation>Delete the contents of the clipboard?</translation>
    </message>
    <message>
        <source>クリップボードの履歴を削除します。一度削除したものは戻りません。<byte value="xd"/>
よろしいですか？</source>
        <translation>The clipboard history will be deleted. Deleted entries cannot be restored.<byte value="xd"/>
Continue?</translation>
    </message>
    <message>
        <source>履歴の削除</source>
        <translation>Delete history</translation>
    </message>
    <message>
        <source>ファイルを開くと、現在までの履歴に上書きされます。開かれたファイルは、変更されません。<byte value="xd"/>
よろしいですか？</source>
        <translation>Opening the file replaces the current history. The opened file itself is not changed.<byte value="xd"/>
Continue?</translation>
    </message>
    <message>
        <source>上書き確認</source>
        <translation>Replace history</translation>
    </message>
    <message>
        <source>定型文が指定されていません。</source>
        <translation>No template file has been chosen.</translation>
    </message>
    <message>
        <source>新規作成</source>
        <translation>New templates</translation>
    </message>
    <message>
        <source>このファイルには定型文が含まれていません。</source>
        <translation>This file contains no templates.</translation>
    </message>
    <message>
        <source>空ファイル</source>
        <translation>Empty file</translation>
    </message>
    <message>
        <source>☆定型文モード☆</source>
        <translation>☆Template mode☆</translation>
    </message>
    <message>
        <source>履歴ファイル(*.ifo)|*.ifo|テキストファイル(*.txt)|*.txt</source>
        <translation>History files (*.ifo)|*.ifo|Text files (*.txt)|*.txt</translation>
    </message>
    <message>
        <source>定型文ファイル(*.txt)|*.txt</source>
        <translation>Template files (*.txt)|*.txt</translation>
    </message>
    <message>
        <source>VornkipFile(*.ifo)|*.ifo</source>
        <translation>Vornkip history files (*.ifo)|*.ifo</translation>
    </message>
    <message>
        <source>３・・。</source>
        <translation>3...</translation>
    </message>
    <message>
        <source>・２・。</source>
        <translation>2...</translation>
    </message>
    <message>
        <source>・・１。</source>
        <translation>1...</translation>
    </message>
</context>
<context>
    <name>Toolbars</name>
    <message>
        <source>ボックスの文字をコピー</source>
        <translation>Copy the text in the box</translation>
    </message>
    <message>
        <source>クリップボードをクリア</source>
        <translation>Clear the clipboard</translation>
    </message>
    <message>
        <source>テキスト詳細</source>
        <translation>Text window</translation>
    </message>
    <message>
        <source>ピクチャ詳細</source>
        <translation>Picture window</translation>
    </message>
    <message>
        <source>関連付けファイルを起動</source>
        <translation>Open with the associated program</translation>
    </message>
    <message>
        <source>隠れる</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>拡張メニュー</source>
        <translation>More commands</translation>
    </message>
    <message>
        <source>コンパネ</source>
        <translation>Control panel</translation>
    </message>
    <message>
        <source>設定してれば、画面セーバー</source>
        <translation>Screen saver, if one is set</translation>
    </message>
    <message>
        <source>オープン・クローズ</source>
        <translation>Open or close the disc tray</translation>
    </message>
    <message>
        <source>履歴を保存</source>
        <translation>Save history</translation>
    </message>
    <message>
        <source>ファイルを開く</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>定型文モード</source>
        <translation>Template mode</translation>
    </message>
    <message>
        <source>履歴を削除</source>
        <translation>Delete history</translation>
    </message>
    <message>
        <source>8進変換</source>
        <translation>Convert to octal</translation>
    </message>
    <message>
        <source>10進変換</source>
        <translation>Convert to decimal</translation>
    </message>
    <message>
        <source>16進変換</source>
        <translation>Convert to hexadecimal</translation>
    </message>
    <message>
        <source>小文字→大文字</source>
        <translation>Lowercase → uppercase</translation>
    </message>
    <message>
        <source>大文字→小文字</source>
        <translation>Uppercase → lowercase</translation>
    </message>
    <message>
        <source>システムプロパティ</source>
        <translation>System settings</translation>
    </message>
    <message>
        <source>インターネットオプション</source>
        <translation>Internet settings</translation>
    </message>
    <message>
        <source>アプリケーションの追加と削除</source>
        <translation>Add or remove programs</translation>
    </message>
    <message>
        <source>画面のプロパティ</source>
        <translation>Display settings</translation>
    </message>
    <message>
        <source>マウスのプロパティ</source>
        <translation>Mouse settings</translation>
    </message>
    <message>
        <source>サウンドのプロパティ</source>
        <translation>Sound settings</translation>
    </message>
    <message>
        <source>マイコン</source>
        <translation>Computer</translation>
    </message>
    <message>
        <source>マイネット</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>ダイヤルアップ</source>
        <translation>Dial-up</translation>
    </message>
    <message>
        <source>プリンタ</source>
        <translation>Printers</translation>
    </message>
    <message>
        <source>ごみ箱</source>
        <translation>Trash</translation>
    </message>
    <message>
        <source>デスクトップ</source>
        <translation>Desktop</translation>
    </message>
    <message>
        <source>電卓</source>
        <translation>Calculator</translation>
    </message>
    <message>
        <source>メモ帳</source>
        <translation>Text editor</translation>
    </message>
    <message>
        <source>ペイント</source>
        <translation>Paint</translation>
    </message>
    <message>
        <source>履歴ファイルを開く</source>
        <translation>Open history file</translation>
    </message>
    <message>
        <source>定型文の新規作成</source>
        <translation>New template</translation>
    </message>
    <message>
        <source>定型文を開く</source>
        <translation>Open template file</translation>
    </message>
    <message>
        <source>最前面表示解除</source>
        <translation>Stop keeping on top</translation>
    </message>
    <message>
        <source>最前面表示セット</source>
        <translation>Keep on top</translation>
    </message>
    <message>
        <source>テキストを隠す</source>
        <translation>Hide text</translation>
    </message>
    <message>
        <source>テキストを表示</source>
        <translation>Show text</translation>
    </message>
</context>
<context>
    <name>WebSearch</name>
    <message>
        <source>Yahoo!!で検索</source>
        <translation>Search Yahoo!!</translation>
    </message>
    <message>
        <source>Googleで検索</source>
        <translation>Search Google</translation>
    </message>
    <message>
        <source>infoseekで検索</source>
        <translation>Search infoseek</translation>
    </message>
    <message>
        <source>gooで検索</source>
        <translation>Search goo</translation>
    </message>
    <message>
        <source>Lycosで検索</source>
        <translation>Search Lycos</translation>
    </message>
    <message>
        <source>Exciteで検索</source>
        <translation>Search Excite</translation>
    </message>
    <message>
        <source>kensaku.jpで検索</source>
        <translation>Search kensaku.jp</translation>
    </message>
    <message>
        <source>フレッシュアイで検索</source>
        <translation>Search Fresheye</translation>
    </message>
    <message>
        <source>Yahoo!!</source>
        <translation>Yahoo!!</translation>
    </message>
    <message>
        <source>Google</source>
        <translation>Google</translation>
    </message>
    <message>
        <source>infoseek</source>
        <translation>infoseek</translation>
    </message>
    <message>
        <source>goo</source>
        <translation>goo</translation>
    </message>
    <message>
        <source>Lycos</source>
        <translation>Lycos</translation>
    </message>
    <message>
        <source>Excite</source>
        <translation>Excite</translation>
    </message>
    <message>
        <source>kensaku.jp</source>
        <translation>kensaku.jp</translation>
    </message>
    <message>
        <source>フレッシュアイ</source>
        <translation>Fresheye</translation>
    </message>
    <message>
        <source>Vector</source>
        <translation>Vector</translation>
    </message>
    <message>
        <source>窓の杜</source>
        <translation>Mado no Mori</translation>
    </message>
</context>
<context>
    <name>X11GlobalShortcut</name>
    <message>
        <source>ショートカット %1 は他のプログラムが使用しているため、登録できませんでした。</source>
        <translation>The shortcut %1 could not be registered because another program is using it.</translation>
    </message>
    <message>
        <source>ショートカット %1 のキーが今のキーボード配列にないため、登録できませんでした。</source>
        <translation>The shortcut %1 could not be registered because its keys are not on the current keyboard layout.</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>アプリケーションは起動中です。</source>
        <translation>Vornkip is already running.</translation>
    </message>
    <message>
        <source>重複起動</source>
        <translation>Already running</translation>
    </message>
    <message>
        <source>次回に履歴を残しておきますか？</source>
        <translation>Keep the history for next time?</translation>
    </message>
    <message>
        <source>クリップボードの中身をクリアしてよろしいですか？</source>
        <translation>Clear the contents of the clipboard?</translation>
    </message>
    <message>
        <source>削除確認</source>
        <translation>Clear the clipboard</translation>
    </message>
    <message>
        <source>☆定型文モード</source>
        <translation>☆Template mode</translation>
    </message>
    <message>
        <source>クリップボードのテキストを最後まで読み取れなかったため、履歴に記録しませんでした。</source>
        <translation>The clipboard text could not be read to the end, so it was not added to the history.</translation>
    </message>
    <message>
        <source>メモリが不足しているため、クリップボードのテキストを履歴に記録しませんでした。</source>
        <translation>There is not enough memory, so the clipboard text was not added to the history.</translation>
    </message>
    <message>
        <source>クリップボードとの接続が切れ、再接続できませんでした。クリップボードの記録を停止しています。</source>
        <translation>The connection to the clipboard was lost and could not be restored. Watching the clipboard has stopped.</translation>
    </message>
    <message>
        <source>クリップボードの記録</source>
        <translation>Clipboard watching</translation>
    </message>
    <message>
        <source>ショートカットキー</source>
        <translation>Shortcut key</translation>
    </message>
    <message>
        <source>履歴の共有</source>
        <translation>Sharing the history</translation>
    </message>
</context>
<context>
    <name>frmPicture</name>
    <message>
        <source>クリップボードの中身（ピクチャ）</source>
        <translation>Clipboard contents (picture)</translation>
    </message>
    <message>
        <source>ピクチャ(*.bmp;*.jpg;*.jpeg;*.gif*.wmf)|*.bmp;*.jpg;*.jpeg;*.gif;*.wmf</source>
        <translation>Pictures (*.bmp;*.jpg;*.jpeg;*.gif;*.wmf)|*.bmp;*.jpg;*.jpeg;*.gif;*.wmf</translation>
    </message>
    <message>
        <source>現在表示されている画像をクリアしてもよろしいですか？</source>
        <translation>Clear the picture shown?</translation>
    </message>
    <message>
        <source>クリア確認</source>
        <translation>Clear picture</translation>
    </message>
    <message>
        <source>クリップボードの中身を削除してもよろしいですか？</source>
        <translation>Delete what is on the clipboard?</translation>
    </message>
    <message>
        <source>削除確認</source>
        <translation>Empty the clipboard</translation>
    </message>
    <message>
        <source>表示されている画像は破棄されます。よろしいですか？</source>
        <translation>The picture shown will be discarded. Continue?</translation>
    </message>
    <message>
        <source>新規貼付</source>
        <translation>Paste as new</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;S)</source>
        <translation>&amp;Save as…</translation>
    </message>
    <message>
        <source>ファイルを開く(&amp;O)</source>
        <translation>&amp;Open file…</translation>
    </message>
    <message>
        <source>閉じる(&amp;Q)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>新規貼り付け(&amp;P)</source>
        <translation>&amp;Paste as new</translation>
    </message>
    <message>
        <source>指定範囲をクリッピング</source>
        <translation>Crop to selection</translation>
    </message>
    <message>
        <source>指定範囲をコピー</source>
        <translation>Copy selection</translation>
    </message>
    <message>
        <source>クリップボードを削除</source>
        <translation>Empty the clipboard</translation>
    </message>
    <message>
        <source>画像のクリア</source>
        <translation>Clear picture</translation>
    </message>
</context>
<context>
    <name>frmPopup</name>
    <message>
        <source>履歴</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Ctrl+V で貼り付けてください</source>
        <translation>Press Ctrl+V to paste</translation>
    </message>
    <message>
        <source>検索中…</source>
        <translation>Searching…</translation>
    </message>
    <message numerus="yes">
        <source>%1 件</source>
        <translation>
            <numerusform>%1 entry</numerusform>
            <numerusform>%1 entries</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 件 (検索中…)</source>
        <translation>
            <numerusform>%1 entry (searching…)</numerusform>
            <numerusform>%1 entries (searching…)</numerusform>
        </translation>
    </message>
    <message>
        <source>%1&#x3000;検索を続けられません: %2</source>
        <translation>%1 — the search cannot continue: %2</translation>
    </message>
</context>
<context>
    <name>frmPro</name>
    <message>
        <source>作成中の文章は失われます。よろしいですか？</source>
        <translation>The templates you are writing will be lost. Continue?</translation>
    </message>
    <message>
        <source>新規確認</source>
        <translation>New templates</translation>
    </message>
    <message>
        <source>定型文がありません。</source>
        <translation>This file has no templates.</translation>
    </message>
    <message>
        <source>空ファイル</source>
        <translation>Empty file</translation>
    </message>
    <message>
        <source>定型文作成</source>
        <translation>Write templates</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規作成(&amp;A)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>ファイルを開く(&amp;O)</source>
        <translation>&amp;Open file…</translation>
    </message>
    <message>
        <source>名前を指定して保存(&amp;S)</source>
        <translation>&amp;Save as…</translation>
    </message>
    <message>
        <source>閉じる(&amp;Q)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>定型文</source>
        <translation>Templates</translation>
    </message>
    <message>
        <source>定型文ファイル(*.txt)|*.txt</source>
        <translation>Template files (*.txt)|*.txt</translation>
    </message>
</context>
<context>
    <name>frmSearch</name>
    <message>
        <source>履歴検索</source>
        <translation>Search history</translation>
    </message>
    <message>
        <source>大文字と小文字を区別しない</source>
        <translation>Ignore case</translation>
    </message>
    <message>
        <source>全角と半角を区別しない</source>
        <translation>Treat full-width and half-width alike</translation>
    </message>
    <message>
        <source>ひらがなとカタカナを区別しない</source>
        <translation>Treat hiragana and katakana alike</translation>
    </message>
    <message>
        <source>検索中…</source>
        <translation>Searching…</translation>
    </message>
    <message numerus="yes">
        <source>%1 件</source>
        <translation>
            <numerusform>%1 entry</numerusform>
            <numerusform>%1 entries</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 件 (検索中…)</source>
        <translation>
            <numerusform>%1 entry (searching…)</numerusform>
            <numerusform>%1 entries (searching…)</numerusform>
        </translation>
    </message>
    <message>
        <source>&#x3000;新しい %1 件を表示</source>
        <translation>, showing the newest %1</translation>
    </message>
    <message>
        <source>%1&#x3000;検索を続けられません: %2</source>
        <translation>%1 — the search cannot continue: %2</translation>
    </message>
</context>
<context>
    <name>frmText</name>
    <message>
        <source>作成中の文書は失われます。保存しますか？</source>
        <translation>The text you are writing will be lost. Do you want to save it?</translation>
    </message>
    <message>
        <source>範囲が指定されていません。</source>
        <translation>Nothing is selected. Select some text first.</translation>
    </message>
    <message>
        <source>テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*</source>
        <translation>Text files (*.txt)|*.txt|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*</source>
        <translation>Text files (*.txt)|*.txt|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>テキストファイル（*.txt)|*.txt|全てのファイル(*.*)|*.*</source>
        <translation>Text files (*.txt)|*.txt|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>クリップボードの内容</source>
        <translation>Clipboard contents</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>ファイルを開く(&amp;O)</source>
        <translation>&amp;Open file…</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;S)</source>
        <translation>&amp;Save as…</translation>
    </message>
    <message>
        <source>閉じる(&amp;Q)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>全文コピー(&amp;C)</source>
        <translation>&amp;Copy all</translation>
    </message>
    <message>
        <source>すべて選択(&amp;A)</source>
        <translation>Select &amp;all</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>コピー(&amp;H)</source>
        <translation>Copy &amp;selection</translation>
    </message>
    <message>
        <source>カット(&amp;U)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>表示テキストをクリア(&amp;D)</source>
        <translation>C&amp;lear text</translation>
    </message>
    <message>
        <source>スタイル(&amp;S)</source>
        <translation>&amp;Style</translation>
    </message>
    <message>
        <source>フォントサイズ</source>
        <translation>Font size</translation>
    </message>
    <message>
        <source>8pt(&amp;8)</source>
        <translation>&amp;8 pt</translation>
    </message>
    <message>
        <source>9pt(&amp;9)</source>
        <translation>&amp;9 pt</translation>
    </message>
    <message>
        <source>10pt(&amp;1)</source>
        <translation>&amp;10 pt</translation>
    </message>
    <message>
        <source>12pt(&amp;2)</source>
        <translation>1&amp;2 pt</translation>
    </message>
    <message>
        <source>14pt(&amp;4)</source>
        <translation>1&amp;4 pt</translation>
    </message>
    <message>
        <source>フォントの設定(&amp;F)</source>
        <translation>&amp;Font…</translation>
    </message>
    <message>
        <source>おまけ(&amp;O)</source>
        <translation>E&amp;xtras</translation>
    </message>
    <message>
        <source>表示文字数</source>
        <translation>Count characters</translation>
    </message>
    <message>
        <source>指定範囲の文字数</source>
        <translation>Count characters in selection</translation>
    </message>
    <message>
        <source>カーソル～文字数指定</source>
        <translation>Select characters from the cursor…</translation>
    </message>
    <message>
        <source>単語の頭文字を大文字</source>
        <translation>Capitalize each word</translation>
    </message>
    <message>
        <source>小文字→大文字</source>
        <translation>Lowercase → uppercase</translation>
    </message>
    <message>
        <source>大文字→小文字</source>
        <translation>Uppercase → lowercase</translation>
    </message>
    <message>
        <source>半角カナ→全角カナ</source>
        <translation>Half-width kana → full-width kana</translation>
    </message>
    <message>
        <source>半角文字→全角文字</source>
        <translation>Half-width characters → full-width</translation>
    </message>
    <message>
        <source>全角文字→半角文字</source>
        <translation>Full-width characters → half-width</translation>
    </message>
    <message>
        <source>カタカナ→ひらがな</source>
        <translation>Katakana → hiragana</translation>
    </message>
    <message>
        <source>ひらがな→カタカナ</source>
        <translation>Hiragana → katakana</translation>
    </message>
    <message>
        <source>指定範囲の単語の頭文字を大文字</source>
        <translation>Selection: capitalize each word</translation>
    </message>
    <message>
        <source>指定範囲の小文字→大文字</source>
        <translation>Selection: lowercase → uppercase</translation>
    </message>
    <message>
        <source>指定範囲の大文字→小文字</source>
        <translation>Selection: uppercase → lowercase</translation>
    </message>
    <message>
        <source>指定範囲の半角カナ→全角カナ</source>
        <translation>Selection: half-width kana → full-width kana</translation>
    </message>
    <message>
        <source>指定範囲の半角文字→全角文字</source>
        <translation>Selection: half-width characters → full-width</translation>
    </message>
    <message>
        <source>指定範囲の全角文字→半角文字</source>
        <translation>Selection: full-width characters → half-width</translation>
    </message>
    <message>
        <source>指定範囲のカタカナ→ひらがな</source>
        <translation>Selection: katakana → hiragana</translation>
    </message>
    <message>
        <source>指定範囲のひらがな→カタカナ</source>
        <translation>Selection: hiragana → katakana</translation>
    </message>
    <message>
        <source>文字数チェックその１</source>
        <translation>Character count: text</translation>
    </message>
    <message>
        <source>文字数チェックその２</source>
        <translation>Character count: selection</translation>
    </message>
    <message>
        <source>文字数チェックその３</source>
        <translation>Character count: from the cursor</translation>
    </message>
    <message>
        <source>表示されている文章に追加しますか？</source>
        <translation>Add this to the text shown?</translation>
    </message>
    <message>
        <source>新規確認</source>
        <translation>Add text</translation>
    </message>
</context>
</TS>
