#include "editor/ui/QsciLexerLuaEx.h"

#include <QColor>

namespace {

// One space-separated text, used as it is: it holds one double space and some words twice.
const char kDeviceApiWords[] =
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
    "isColor 是颜色 判断颜色 abs acos asin atan atan2 ceil cos deg exp floor format "
    "frexp gsub ldexp log log10 max min mod rad random randomseed sin sqrt strbyte strchar "
    "strfind strlen strlower strrep strsub strupper tan string.byte string.char string.dump "
    "string.find string.len string.lower string.rep string.sub string.upper string.format "
    "string.gfind string.gsub table.concat table.foreach table.foreachi table.getn table.sort "
    "table.insert table.remove table.setn math.abs math.acos math.asin math.atan math.atan2 "
    "math.ceil math.cos math.deg math.exp math.floor math.frexp math.ldexp math.log math.log10 "
    "math.max math.min math.mod math.pi math.rad math.random math.randomseed math.sin "
    "math.sqrt math.tan";

} // namespace

QsciLexerLuaEx::QsciLexerLuaEx(QObject *parent)
    : QsciLexerLua(parent)
{
    setColor(QColor(255, 0, 0), Preprocessor);
}

const char *QsciLexerLuaEx::deviceApiWords()
{
    return kDeviceApiWords;
}

const char *QsciLexerLuaEx::blockEnd(int *) const
{
    return "end";
}

const char *QsciLexerLuaEx::blockStart(int *) const
{
    return ")";
}

const char *QsciLexerLuaEx::keywords(int set) const
{
    if (set == 3)
        return kDeviceApiWords;
    return QsciLexerLua::keywords(set);
}

QColor QsciLexerLuaEx::defaultColor(int style) const
{
    switch (style) {
    case Number:
        return QColor(163, 50, 67);
    case Keyword:
        return QColor(0, 0, 255);
    case String:
    case Character:
    case LiteralString:
        return QColor(255, 0, 255);
    case StringTableMathsFunctions:
        return QColor(255, 0, 0);
    default:
        return QsciLexerLua::defaultColor(style);
    }
}

QColor QsciLexerLuaEx::defaultPaper(int style) const
{
    switch (style) {
    case BasicFunctions:
    case StringTableMathsFunctions:
    case CoroutinesIOSystemFacilities:
        return QColor(255, 255, 255);
    default:
        return QsciLexerLua::defaultPaper(style);
    }
}
