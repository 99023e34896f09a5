// Lua 5.2's standard library as a stock build with LUA_COMPAT_ALL opens it (lua5.2 lists the
// same), in the notation of its reference manual.
#include "api/ApiTables.h"

#include <iterator>

namespace {

const ApiRecord kRows[] = {
    // Basic functions
    {"assert(v [, message])", "", "v, ...", "v为false或nil时以message报错，否则返回全部参数"},
    {"collectgarbage([opt [, arg]])", "", "依opt而定", "控制垃圾回收（opt为\"collect\"、\"count\"、\"step\"等）"},
    {"dofile([filename])", "", "代码块的返回值", "运行Lua文件filename"},
    {"error(message [, level])", "", "", "抛出错误message；level指出报告错误位置的调用层次"},
    {"_G", "", "", "全局环境表"},
    {"getmetatable(object)", "", "metatable", "取对象的元表"},
    {"ipairs(t)", "", "迭代函数, t, 0", "按整数键1、2、3……遍历t，到第一个nil值为止"},
    {"load(ld [, source [, mode [, env]]])", "", "函数 | nil, 错误信息", "把字符串或函数ld给出的代码加载为函数，不运行"},
    {"loadfile([filename [, mode [, env]]])", "", "函数 | nil, 错误信息", "把Lua文件加载为函数，不运行"},
    {"next(table [, index])", "", "键, 值", "返回table中index之后的键和值"},
    {"pairs(t)", "", "next, t, nil", "遍历t的全部键值对"},
    {"pcall(f [, arg1, ...])", "", "true, 结果… | false, 错误信息", "以保护模式调用f：出错时不中断脚本，返回false和错误信息"},
    {"print(...)", "", "", "把参数转换为字符串输出，以制表符分隔"},
    {"rawequal(v1, v2)", "", "boolean", "比较v1与v2是否相等，不调用元方法"},
    {"rawget(table, index)", "", "值", "取table[index]，不调用元方法"},
    {"rawlen(v)", "", "长度", "取表或字符串的长度，不调用元方法"},
    {"rawset(table, index, value)", "", "table", "设置table[index]为value，不调用元方法"},
    {"require(modname)", "", "模块", "加载模块modname，每个模块只加载一次"},
    {"select(index, ...)", "", "参数…", "返回第index个及以后的参数；index为\"#\"时返回参数个数"},
    {"setmetatable(table, metatable)", "", "table", "设置表的元表"},
    {"tonumber(e [, base])", "", "数 | nil", "把e转换为数；base为2到36的进制"},
    {"tostring(v)", "", "字符串", "把v转换为字符串"},
    {"type(v)", "", "类型名", "返回v的类型名，如\"nil\"、\"number\"、\"string\"、\"table\"、\"function\""},
    {"_VERSION", "", "", "Lua版本的字符串\"Lua 5.2\""},
    {"xpcall(f, msgh [, arg1, ...])", "", "true, 结果… | false, 错误信息", "以保护模式调用f，出错时先由msgh处理错误信息"},
    {"unpack(list [, i [, j]])", "", "list[i], …, list[j]", "同table.unpack（为兼容旧版本保留）"},
    {"loadstring(string [, chunkname])", "", "函数 | nil, 错误信息", "同load（为兼容旧版本保留）"},
    {"module(name [, ...])", "", "", "定义模块（Lua 5.1的做法，为兼容旧版本保留）"},

    // string
    {"string.byte(s [, i [, j]])", "", "字节值…", "返回s[i]到s[j]的字节值"},
    {"string.char(...)", "", "字符串", "由字节值组成字符串"},
    {"string.dump(function)", "", "字符串", "返回函数的二进制代码块"},
    {"string.find(s, pattern [, init [, plain]])", "", "起点, 终点, 捕获… | nil", "在s中查找pattern；plain为true时按普通文本查找"},
    {"string.format(formatstring, ...)", "", "字符串", "按formatstring格式化其余参数（同C的printf）"},
    {"string.gmatch(s, pattern)", "", "迭代函数", "返回依次给出pattern在s中每次匹配的迭代函数"},
    {"string.gsub(s, pattern, repl [, n])", "", "字符串, 替换次数", "把s中匹配pattern的部分替换为repl，至多n次"},
    {"string.len(s)", "", "长度", "返回字符串的字节数"},
    {"string.lower(s)", "", "字符串", "转为小写"},
    {"string.match(s, pattern [, init])", "", "捕获… | nil", "返回pattern在s中第一次匹配的捕获"},
    {"string.rep(s, n [, sep])", "", "字符串", "把s重复n次，以sep分隔"},
    {"string.reverse(s)", "", "字符串", "反转字符串"},
    {"string.sub(s, i [, j])", "", "字符串", "取s从i到j的子串，负数从末尾数起"},
    {"string.upper(s)", "", "字符串", "转为大写"},

    // table
    {"table.concat(list [, sep [, i [, j]]])", "", "字符串", "把list[i]到list[j]以sep连接成字符串"},
    {"table.insert(list, [pos,] value)", "", "", "在list的pos处（默认末尾）插入value"},
    {"table.maxn(table)", "", "数", "返回最大的正数键（为兼容旧版本保留）"},
    {"table.pack(...)", "", "表", "把参数放入新表，字段n为参数个数"},
    {"table.remove(list [, pos])", "", "被删除的值", "删除并返回list[pos]，默认最后一个"},
    {"table.sort(list [, comp])", "", "", "原地排序list；comp为比较函数"},
    {"table.unpack(list [, i [, j]])", "", "list[i], …, list[j]", "返回list[i]到list[j]"},

    // math
    {"math.abs(x)", "", "数", "绝对值"},
    {"math.acos(x)", "", "弧度", "反余弦"},
    {"math.asin(x)", "", "弧度", "反正弦"},
    {"math.atan(x)", "", "弧度", "反正切"},
    {"math.atan2(y, x)", "", "弧度", "y/x的反正切，由两者的符号定象限"},
    {"math.ceil(x)", "", "整数", "不小于x的最小整数"},
    {"math.cos(x)", "", "数", "余弦（x为弧度）"},
    {"math.cosh(x)", "", "数", "双曲余弦"},
    {"math.deg(x)", "", "角度", "把弧度x换算为角度"},
    {"math.exp(x)", "", "数", "e的x次方"},
    {"math.floor(x)", "", "整数", "不大于x的最大整数"},
    {"math.fmod(x, y)", "", "数", "x除以y的余数，向零取整"},
    {"math.frexp(x)", "", "m, e", "把x分解为m乘2的e次方"},
    {"math.huge", "", "", "比任何数都大的值（无穷大）"},
    {"math.ldexp(m, e)", "", "数", "m乘2的e次方"},
    {"math.log(x [, base])", "", "数", "以base为底（默认e）的对数"},
    {"math.log10(x)", "", "数", "以10为底的对数（为兼容旧版本保留）"},
    {"math.max(x, ...)", "", "数", "参数中的最大值"},
    {"math.min(x, ...)", "", "数", "参数中的最小值"},
    {"math.modf(x)", "", "整数部分, 小数部分", "把x分为整数部分和小数部分"},
    {"math.pi", "", "", "圆周率π"},
    {"math.pow(x, y)", "", "数", "x的y次方"},
    {"math.rad(x)", "", "弧度", "把角度x换算为弧度"},
    {"math.random([m [, n]])", "", "数", "随机数：无参数时在[0,1)之间，否则在[1,m]或[m,n]之间的整数"},
    {"math.randomseed(x)", "", "", "设置随机数种子"},
    {"math.sin(x)", "", "数", "正弦（x为弧度）"},
    {"math.sinh(x)", "", "数", "双曲正弦"},
    {"math.sqrt(x)", "", "数", "平方根"},
    {"math.tan(x)", "", "数", "正切（x为弧度）"},
    {"math.tanh(x)", "", "数", "双曲正切"},

    // os
    {"os.clock()", "", "秒", "程序所用的CPU时间"},
    {"os.date([format [, time]])", "", "字符串 | 表", "按format格式化日期时间；format为\"*t\"时返回表"},
    {"os.difftime(t2, t1)", "", "秒", "t2与t1相差的秒数"},
    {"os.execute([command])", "", "true | nil, \"exit\", 退出码", "由系统的命令解释器运行command"},
    {"os.exit([code [, close]])", "", "", "结束宿主程序"},
    {"os.getenv(varname)", "", "字符串 | nil", "取环境变量的值"},
    {"os.remove(filename)", "", "true | nil, 错误信息", "删除文件或空目录"},
    {"os.rename(oldname, newname)", "", "true | nil, 错误信息", "重命名文件或目录"},
    {"os.setlocale(locale [, category])", "", "字符串 | nil", "设置程序的区域设置"},
    {"os.time([table])", "", "数", "当前时间，或表table给出的时间"},
    {"os.tmpname()", "", "文件名", "返回可用作临时文件的文件名"},

    // io
    {"io.close([file])", "", "", "关闭文件，默认关闭默认输出文件"},
    {"io.flush()", "", "", "写出默认输出文件的缓冲"},
    {"io.input([file])", "", "文件", "设置或取得默认输入文件"},
    {"io.lines([filename ...])", "", "迭代函数", "返回按行读取文件的迭代函数"},
    {"io.open(filename [, mode])", "", "文件 | nil, 错误信息", "按mode（如\"r\"、\"w\"、\"rb\"）打开文件"},
    {"io.output([file])", "", "文件", "设置或取得默认输出文件"},
    {"io.popen(prog [, mode])", "", "文件", "在另一个进程中运行prog，返回连到它的文件"},
    {"io.read(...)", "", "读到的值…", "从默认输入文件读取"},
    {"io.tmpfile()", "", "文件", "打开一个临时文件"},
    {"io.type(obj)", "", "\"file\" | \"closed file\" | nil", "判断obj是否为文件"},
    {"io.write(...)", "", "文件", "把参数写入默认输出文件"},
    {"io.stderr", "", "", "标准错误文件"},
    {"io.stdin", "", "", "标准输入文件"},
    {"io.stdout", "", "", "标准输出文件"},

    // coroutine
    {"coroutine.create(f)", "", "协程", "以函数f创建协程"},
    {"coroutine.resume(co [, val1, ...])", "", "true, 值… | false, 错误信息", "开始或继续运行协程co"},
    {"coroutine.running()", "", "协程, boolean", "返回正在运行的协程，以及它是否为主协程"},
    {"coroutine.status(co)", "", "状态", "返回协程的状态：\"running\"、\"suspended\"、\"normal\"或\"dead\""},
    {"coroutine.wrap(f)", "", "函数", "以f创建协程，返回每调用一次就继续运行它的函数"},
    {"coroutine.yield(...)", "", "resume传入的值…", "挂起正在运行的协程，把参数交给resume"},

    // bit32
    {"bit32.arshift(x, disp)", "", "数", "算术右移disp位"},
    {"bit32.band(...)", "", "数", "按位与"},
    {"bit32.bnot(x)", "", "数", "按位取反"},
    {"bit32.bor(...)", "", "数", "按位或"},
    {"bit32.btest(...)", "", "boolean", "按位与的结果是否不为零"},
    {"bit32.bxor(...)", "", "数", "按位异或"},
    {"bit32.extract(n, field [, width])", "", "数", "取n从第field位起的width位（默认1位）"},
    {"bit32.replace(n, v, field [, width])", "", "数", "把n从第field位起的width位换成v"},
    {"bit32.lrotate(x, disp)", "", "数", "循环左移disp位"},
    {"bit32.lshift(x, disp)", "", "数", "左移disp位"},
    {"bit32.rrotate(x, disp)", "", "数", "循环右移disp位"},
    {"bit32.rshift(x, disp)", "", "数", "逻辑右移disp位"},

    // package
    {"package.config", "", "", "包路径的配置字符串（目录分隔符等）"},
    {"package.cpath", "", "", "require查找C模块的路径"},
    {"package.loaded", "", "", "已加载模块的表"},
    {"package.loadlib(libname, funcname)", "", "函数 | nil, 错误信息", "加载C库libname，返回其中的函数funcname"},
    {"package.path", "", "", "require查找Lua模块的路径"},
    {"package.preload", "", "", "模块加载函数的表，require先查它"},
    {"package.searchers", "", "", "require依次使用的查找函数"},
    {"package.searchpath(name, path [, sep [, rep]])", "", "文件名 | nil, 错误信息", "在path中查找name"},
    {"package.loaders", "", "", "同package.searchers（为兼容旧版本保留）"},
    {"package.seeall(module)", "", "", "让模块能访问全局变量（与module一起使用，为兼容旧版本保留）"},

    // debug
    {"debug.debug()", "", "", "进入交互调试，直到输入cont"},
    {"debug.gethook([thread])", "", "钩子函数, 掩码, 计数", "取当前的钩子设置"},
    {"debug.getinfo([thread,] f [, what])", "", "表", "取函数或调用层次f的信息"},
    {"debug.getlocal([thread,] f, local)", "", "名称, 值", "取调用层次f中第local个局部变量"},
    {"debug.getmetatable(value)", "", "元表", "取任意值的元表"},
    {"debug.getregistry()", "", "表", "返回注册表"},
    {"debug.getupvalue(f, up)", "", "名称, 值", "取函数f的第up个上值"},
    {"debug.getuservalue(u)", "", "值", "取用户数据u关联的值"},
    {"debug.sethook([thread,] hook, mask [, count])", "", "", "设置钩子函数"},
    {"debug.setlocal([thread,] level, local, value)", "", "名称", "设置调用层次level中第local个局部变量"},
    {"debug.setmetatable(value, table)", "", "value", "设置任意值的元表"},
    {"debug.setupvalue(f, up, value)", "", "名称", "设置函数f的第up个上值"},
    {"debug.setuservalue(udata, value)", "", "udata", "设置用户数据关联的值"},
    {"debug.traceback([thread,] [message [, level]])", "", "字符串", "返回调用栈的回溯信息"},
    {"debug.upvalueid(f, n)", "", "标识", "返回函数f第n个上值的唯一标识"},
    {"debug.upvaluejoin(f1, n1, f2, n2)", "", "", "让f1的第n1个上值引用f2的第n2个上值"},
};

} // namespace

ApiTable luaLibraryTable()
{
    return {kRows, int(std::size(kRows))};
}

const char *luaKeywords()
{
    return "and break do else elseif end false for function goto if in local nil not or repeat return "
           "then true until while";
}
