#include "editor/ApiWords.h"

#include <QRegularExpression>

namespace {

// Keyword set 3 of the lexer is these two texts joined, used as they are: the text holds one
// double space and some words twice. The first names the device runtime's API with its Chinese
// aliases; the second, Lua library names, many of them from Lua versions before 5.2.
const char kRuntimeWords[] =
    "inputNext inputGo inputSearch inputDone inputSend urlParamEncode showLoopSetting "
    "createWebView readFile doString DEFAULT_WINDOW_NAME getBuildModel getNetTime globalLock "
    "globalUnlock tryGlobalLock newLine UI换行 createTextView 创建静态文本 "
    "createEditText 创建编辑文本 createCheckBox 创建复选框 createRadioBox "
    "创建单选框 createButton 创建按钮 createWindow 创建窗口 getText setText "
    "setChecked getChecked copy 拷贝 复制 getSDCardPath 获取SD卡路径 screencapToFile "
    "截图到文件 include 包含 加载 input 输入 clickImage 点击图片 findApp "
    "startApp isRunning kill exit httpGet screenToFile loge toast 提示 文本提示 "
    "isCompatMode screencap setAutoScreencap setCompatMode vibrate 震动 振动 "
    "touchClickRandom 随机触摸点击 touchDownRandom 随机触摸按下 touchMoveRandom "
    "随机触摸移动 随机触摸滑动 getWifiMAC getBluetoothMAC getIMEI getDeviceInfo "
    "getUDID getAndroidID startThread 启动线程 pauseThread 暂停线程 killThread "
    "停止线程 startTimer 启动定时器 killTimer 停止定时器 getBitsPerPixel "
    "获取色深 getColor 获取颜色 getColorRGB findColor findColorFuzzy 寻色 R G B RGB "
    "findImage 寻图 范围寻图 findImageFuzzy 模糊寻图 范围模糊寻图 "
    "范围不规则寻图 findImageFuzzyIrregular 模糊不规则寻图 模糊透明寻图 "
    "范围模糊不规则寻图 范围模糊透明寻图  findImageIrregular 不规则寻图 "
    "透明寻图 findImageEx 动态寻图 findImageFuzzyEx 动态模糊寻图 "
    "findImageIrregularEx 动态不规则寻图 动态透明寻图 findImageFuzzyIrregular "
    "不规则模糊寻图 透明模糊寻图 findImageFuzzyIrregularEx "
    "动态不规则模糊寻图 动态透明模糊寻图 getColor 获取颜色 findColor "
    "寻色 sleep 延时 休眠 延迟 touchClick 触摸点击 touchDown 触摸按下 touchUp "
    "触摸弹起 touchMove 触摸移动 触摸滑动 getResolutionRatio 获取分辨率 "
    "isColor 是颜色 判断颜色 ";
const char kLuaLibraryWords[] =
    "abs acos asin atan atan2 ceil cos deg exp floor format "
    "frexp gsub ldexp log log10 max min mod rad random randomseed sin sqrt strbyte strchar "
    "strfind strlen strlower strrep strsub strupper tan string.byte string.char string.dump "
    "string.find string.len string.lower string.rep string.sub string.upper string.format "
    "string.gfind string.gsub table.concat table.foreach table.foreachi table.getn table.sort "
    "table.insert table.remove table.setn math.abs math.acos math.asin math.atan math.atan2 "
    "math.ceil math.cos math.deg math.exp math.floor math.frexp math.ldexp math.log math.log10 "
    "math.max math.min math.mod math.pi math.rad math.random math.randomseed math.sin "
    "math.sqrt math.tan";

// config/apis.txt, read into the build as one raw string literal.
const char kCompletionList[] =
#include KESTRUN_COMPLETION_LIST
    ;

} // namespace

const char *ApiWords::lexerWords()
{
    static const QByteArray words = QByteArray(kRuntimeWords) + kLuaLibraryWords;
    return words.constData();
}

QStringList ApiWords::runtimeWords()
{
    return QString::fromUtf8(kRuntimeWords).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QVector<ApiWords::Entry> ApiWords::completionEntries()
{
    // name, or table:name, then an optional parameter list up to its last ")"
    static const QRegularExpression line(QStringLiteral("^([^\\s(:]+)(?::([^\\s(]+))?\\s*(?:\\((.*)\\))?"));
    static const QVector<Entry> entries = [] {
        QVector<Entry> parsed;
        for (const QByteArray &bytes : QByteArray(kCompletionList).split('\n')) {
            const QString trimmed = QString::fromUtf8(bytes).trimmed();
            const QRegularExpressionMatch match = line.match(trimmed);
            if (trimmed.isEmpty() || !match.hasMatch())
                continue;
            Entry entry;
            entry.name = match.captured(2).isEmpty() ? match.captured(1)
                                                     : match.captured(1) + QLatin1Char('.') + match.captured(2);
            if (match.capturedStart(3) >= 0) {
                const QString parameters = match.captured(3).trimmed();
                if (!parameters.contains(QLatin1Char('[')) && !parameters.contains(QLatin1String("...")))
                    entry.fixedParameters = parameters.isEmpty() ? 0 : parameters.count(QLatin1Char(',')) + 1;
            }
            parsed << entry;
        }
        return parsed;
    }();
    return entries;
}
