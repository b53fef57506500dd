// The installer's command list, read by SetupPack (see src/setup/SetupPack.cpp). The
// version is the one the program registers as "Ver".
action=path,Registry=Merivan\Tessaro,Version=2008-04,Lng=DE,PgmPath=*Programs*Tessaro/,DataPath=*PgmPath*DemoData/,MyStartMenu=*StartMenu*
action=save,Source=Tessaro,Filename=*PgmPath*Tessaro,Mode=755
action=save,Source=Start,Filename=*PgmPath*Start,Mode=755
action=savetree,Source=Help,Filename=*PgmPath*Help/,Mode=644
action=savetree,Source=Icons,Filename=*PgmPath*Icons/,Mode=644
action=savetree,Source=System,Filename=*PgmPath*System/,Mode=644
action=savetree,Source=Formulare,Filename=*PgmPath*Formulare/,Mode=644
action=icon,lnk=*MyStartMenu*Tessaro.lnk,file=*PgmPath*Start,icon=*PgmPath*Icons/Tessaro.png
action=icon,lnk=*Desktop*Tessaro.lnk,file=*PgmPath*Start,icon=*PgmPath*Icons/Tessaro.png
action=desktopini,path=*PgmPath*,icon=*PgmPath*Icons/Tessaro.png
action=uninst,name=Tessaro,Publisher=Merivan,icon=*PgmPath*Icons/Tessaro.png
action=exec,params=aftersetup
