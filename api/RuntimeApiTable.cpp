// The device runtime's API. Call forms follow the insert menus' snippets, Chinese aliases the
// names the runtime registers beside the functions. Where nothing more is known of a name than
// that the runtime has it, its row says so rather than guess.
#include "api/ApiTables.h"

#include <iterator>

namespace {

using OnPc = ApiEntry::OnPc;

const ApiRecord kRows[] = {
    // Touches and keys
    {"touchClick(x,y)", "触摸点击", "", "在屏幕坐标(x,y)处触摸点击", OnPc::Served},
    {"touchDown(x,y)", "触摸按下", "", "在屏幕坐标(x,y)处触摸按下", OnPc::Served},
    {"touchMove(x,y)", "触摸移动 触摸滑动", "", "把按下的触摸滑动到(x,y)"},
    {"touchUp()", "触摸弹起", "", "触摸弹起", OnPc::Served},
    {"touchClickRandom(x,y,range)", "随机触摸点击", "", "在(x,y)加上range以内的随机偏移处触摸点击",
     OnPc::Approximate,
     "x和y各自加上-range～range之间的随机整数"},
    {"touchDownRandom(x,y,range)", "随机触摸按下", "", "在(x,y)加上range以内的随机偏移处触摸按下",
     OnPc::Approximate,
     "x和y各自加上-range～range之间的随机整数"},
    {"touchMoveRandom(x,y,range)", "随机触摸移动 随机触摸滑动", "", "把按下的触摸滑动到(x,y)加上range以内的随机偏移处"},
    {"input(text)|input(key)", "输入", "", "输入文本text，或模拟按键key",
     OnPc::Approximate,
     "只能模拟按键：input(key)发出按键码key的按下和弹起；输入文本不支持"},
    {"inputNext()", "", "", "在输入法中输入“下一步”"},
    {"inputDone()", "", "", "在输入法中输入“完成”"},
    {"inputGo()", "", "", "在输入法中输入“去往”"},
    {"inputSearch()", "", "", "在输入法中输入“搜索”"},
    {"inputSend()", "", "", "在输入法中输入“发送”"},

    // Colours
    {"getColorRGB(x,y)", "", "r,g,b", "取屏幕上(x,y)处颜色的红、绿、蓝分量", OnPc::Served},
    {"RGB(r,g,b)", "", "color", "由红、绿、蓝分量合成颜色值", OnPc::Served},
    {"getColor(x,y)", "获取颜色", "color", "取屏幕上(x,y)处的颜色值", OnPc::Served},
    {"isColor(x,y)|isColor(x,y,similarity)|isColor(x,y,color,similarity)", "是颜色 判断颜色", "", "判断屏幕上(x,y)处的颜色；给出相似度similarity时模糊判色",
     OnPc::Approximate,
     "按isColor(x,y,color[,similarity])判断，"
     "第三个参数是颜色，similarity缺省为100；"
     "相似度similarity（0～100）：每个颜色分量最多相差(100-similarity)%×255，"
     "100为完全相同"},
    {"findColor(color)|findColor(color,x1,y1,x2,y2)", "寻色", "x,y", "在屏幕上（或区域(x1,y1)-(x2,y2)内）寻找颜色color", OnPc::Served},
    {"findColorFuzzy(color,similarity)|findColorFuzzy(color,similarity,x1,y1,x2,y2)", "", "x,y",
     "按相似度similarity在屏幕上（或区域(x1,y1)-(x2,y2)内）模糊寻找颜色color",
     OnPc::Approximate,
     "相似度similarity（0～100）：每个颜色分量最多相差(100-similarity)%×255，"
     "100为完全相同；找不到时返回-1,-1"},
    {"R", "", "", "运行时提供的名称，用法未收录"},
    {"G", "", "", "运行时提供的名称，用法未收录"},
    {"B", "", "", "运行时提供的名称，用法未收录"},

    // Image search
    {"findImage(imagePath)|findImage(imagePath,x1,y1,x2,y2)", "寻图 范围寻图", "flag,x,y",
     "在屏幕上（或区域(x1,y1)-(x2,y2)内）寻找图片imagePath",
     OnPc::Approximate,
     "返回true和图片左上角的坐标（从上到下、从左到右找到的第一处），"
     "找不到时返回false,-1,-1；区域含(x1,y1)和(x2,y2)两角"},
    {"findImageFuzzy(imagePath,similarity)|findImageFuzzy(imagePath,similarity,x1,y1,x2,y2)", "模糊寻图 范围模糊寻图",
     "flag,x,y", "按相似度similarity在屏幕上（或区域内）模糊寻找图片imagePath",
     OnPc::Approximate,
     "返回true和图片左上角的坐标（从上到下、从左到右找到的第一处），"
     "找不到时返回false,-1,-1；区域含(x1,y1)和(x2,y2)两角；"
     "相似度similarity（0～100）：每个颜色分量最多相差(100-similarity)%×255，"
     "100为完全相同"},
    {"findImageIrregular(imagePath,backgroundColor)|findImageIrregular(imagePath,backgroundColor,x1,y1,x2,y2)",
     "不规则寻图 透明寻图 范围不规则寻图", "flag,x,y", "在屏幕上（或区域内）寻找背景色为backgroundColor的不规则图片imagePath",
     OnPc::Approximate,
     "返回true和图片左上角的坐标（从上到下、从左到右找到的第一处），"
     "找不到时返回false,-1,-1；区域含(x1,y1)和(x2,y2)两角；"
     "图片中背景色的像素不比较"},
    {"findImageFuzzyIrregular(imagePath,similarity,backgroundColor)|"
     "findImageFuzzyIrregular(imagePath,similarity,backgroundColor,x1,y1,x2,y2)",
     "模糊不规则寻图 模糊透明寻图 范围模糊不规则寻图 范围模糊透明寻图 不规则模糊寻图 透明模糊寻图", "flag,x,y",
     "按相似度similarity在屏幕上（或区域内）模糊寻找背景色为backgroundColor的不规则图片imagePath",
     OnPc::Approximate,
     "返回true和图片左上角的坐标（从上到下、从左到右找到的第一处），"
     "找不到时返回false,-1,-1；区域含(x1,y1)和(x2,y2)两角；"
     "图片中背景色的像素不比较；"
     "相似度similarity（0～100）：每个颜色分量最多相差(100-similarity)%×255，"
     "100为完全相同"},
    {"findImageEx", "动态寻图", "", "动态寻图；调用方式未收录"},
    {"findImageFuzzyEx", "动态模糊寻图", "", "动态模糊寻图；调用方式未收录"},
    {"findImageIrregularEx", "动态不规则寻图 动态透明寻图", "", "动态不规则寻图；调用方式未收录"},
    {"findImageFuzzyIrregularEx", "动态不规则模糊寻图 动态透明模糊寻图", "", "动态模糊不规则寻图；调用方式未收录"},
    {"clickImage(imagePath)", "点击图片", "", "点击屏幕上的图片imagePath",
     OnPc::Approximate,
     "完全相同地寻找图片，找到时点击图片中心，返回是否找到"},

    // Screen and system
    {"getResolutionRatio()", "获取分辨率", "w,h", "获取屏幕分辨率", OnPc::Served},
    {"getBitsPerPixel()", "获取色深", "bits", "获取屏幕色位（每像素的位数）", OnPc::Served},
    {"startThread(functionName)", "启动线程", "", "启动线程，运行名为functionName的函数"},
    {"pauseThread", "暂停线程", "", "暂停线程；调用方式未收录"},
    {"killThread", "停止线程", "", "停止线程；调用方式未收录"},
    {"startTimer(functionName,delay,interval)", "启动定时器", "tid", "启动定时器，按delay和interval调用名为functionName的函数"},
    {"killTimer(tid)", "停止定时器", "", "停止startTimer启动的定时器tid"},
    {"globalLock()", "", "", "全局锁定"},
    {"globalUnlock()", "", "", "全局解锁"},
    {"tryGlobalLock()", "", "", "尝试全局锁定"},

    // Applications
    {"startApp(packageName)", "", "", "启动包名为packageName的应用"},
    {"kill(packageName)", "", "", "结束包名为packageName的应用"},
    {"findApp(packageName)", "", "", "查找包名为packageName的应用是否安装"},
    {"isRunning(packageName)", "", "", "判断包名为packageName的应用是否正在运行"},
    {"pauseApp(packageName)", "", "", "暂停包名为packageName的进程"},
    {"resumeApp(packageName)", "", "", "恢复包名为packageName的进程"},

    // Debugging
    {"toast(text)", "提示 文本提示", "", "弹出文本提示text", OnPc::Served},
    {"log(text)", "", "", "记录日志", OnPc::Served},
    {"loge(text)", "", "", "记录错误日志", OnPc::Served},

    // Other functions
    {"sleep(milliseconds)", "延时 休眠 延迟", "", "延迟milliseconds毫秒", OnPc::Served},
    {"vibrate(milliseconds)", "震动 振动", "", "震动milliseconds毫秒", OnPc::Accepted},
    {"exit()", "", "", "退出当前脚本", OnPc::Served},
    {"copy(text)", "拷贝 复制", "", "拷贝文本text到剪切板"},
    {"getSDCardPath()", "获取SD卡路径", "path", "获取SD卡路径", OnPc::Served},
    {"include(scriptPath)", "包含 加载", "", "包含脚本：scriptPath为脚本相对工程的路径", OnPc::Served},
    {"doString(script)", "", "", "执行字符串script中的脚本", OnPc::Served},
    {"readFile", "", "", "读取文件；调用方式未收录"},

    // Compatibility mode and screenshots
    {"setCompatMode(enabled)", "", "", "强制设置兼容模式"},
    {"isCompatMode()", "", "", "判断当前是否为兼容模式"},
    {"setAutoScreencap(enabled)", "", "", "设置截屏方式", OnPc::Served},
    {"screencap()", "", "", "主动截屏", OnPc::Served},
    {"screencapToFile(imagePath)|screencapToFile(imagePath,x1,y1,x2,y2)", "截图到文件", "",
     "把全屏（或区域(x1,y1)-(x2,y2)）截图保存到imagePath", OnPc::Served},
    {"screenToFile", "", "", "运行时提供的名称，调用方式未收录"},

    // Device
    {"getWifiMAC()", "", "", "获取网卡MAC"},
    {"getIMEI()", "", "", "获取IMEI"},
    {"getBluetoothMAC()", "", "", "获取蓝牙MAC"},
    {"getAndroidID()", "", "", "获取AndroidID"},
    {"getDeviceInfo()", "", "", "获取设备信息串"},
    {"getUDID()", "", "", "获取UDID"},
    {"getBuildModel()", "", "model", "获取手机型号"},

    // Network
    {"httpGet(url)", "", "content", "以HTTP访问网址url，返回取得的内容"},
    {"getNetTime()", "", "time,timestamp,year,month,day,hour,minute,second", "获取网络时间"},
    {"urlParamEncode(param)", "", "", "对url参数param编码"},

    // User interface
    {"createTextView(name,text,width,height)", "创建静态文本", "", "创建静态文本"},
    {"createEditText(name,text,type,width,height)", "创建编辑文本", "", "创建编辑框"},
    {"createCheckBox(name,label,checked,width,height)", "创建复选框", "", "创建复选框"},
    {"createRadioBox(name,label,checked,width,height)", "创建单选框", "", "创建单选框"},
    {"createButton(name,label,callback,width,height)", "创建按钮", "", "创建按钮"},
    {"createWindow(windowName,width,height)", "创建窗口", "", "创建扩展窗口"},
    {"newLine(windowName)", "UI换行", "", "在窗口windowName中UI换行"},
    {"getText(windowName,name)", "", "", "获取窗口windowName中控件name的文本"},
    {"setText(windowName,name,text)", "", "", "设置窗口windowName中控件name的文本"},
    {"setChecked(windowName,name,checked)", "", "", "设置窗口windowName中控件name是否选中"},
    {"getChecked(windowName,name)", "", "", "获取窗口windowName中控件name是否选中"},
    {"createWebView(name,html)", "", "", "创建显示html的WebView"},
    {"showLoopSetting(show)", "", "", "设置是否显示循环设置", OnPc::Accepted},
    {"DEFAULT_WINDOW_NAME", "", "", "默认窗口的名称；用法未收录"},
};

} // namespace

ApiTable runtimeApiTable()
{
    return {kRows, int(std::size(kRows)), OnPc::Unavailable};
}
